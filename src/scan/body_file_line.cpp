#include "scan/body_file_line.h"

#include "platform/clock.h"
#include "platform/line_end.h"
#include "platform/text.h"
#include "scan/column_text.h"

namespace skerry {
namespace {

constexpr int64_t kFileTimeUnitsPerSecond = kFileTimeTicksPerSecond;
constexpr int64_t kSecondsFrom1601To1970 = kUnixEpochAsFileTimeSeconds;
constexpr uint32_t kAttributeReadOnly = 0x1;
constexpr uint32_t kAttributeHidden = 0x2;
// The fixed fields of a $FILE_NAME value before its name.
constexpr uint64_t kFileNameFixedSize = 66;

// The mode as timeline tools show NTFS files: the name's type ("-" once the
// record is free), the record's type, then permissions that the read-only
// attribute takes the "r" from and the hidden attribute the "w".
void AppendMode(std::wstring& out, const FileEntry& entry) {
  const bool directory = (entry.attributes & kFileNameDirectoryFlag) != 0;
  const wchar_t type = directory ? L'd' : L'r';
  out.push_back(entry.deleted ? L'-' : type);
  out.push_back(L'/');
  out.push_back(type);
  const wchar_t read = (entry.attributes & kAttributeReadOnly) != 0 ? L'-' : L'r';
  const wchar_t write = (entry.attributes & kAttributeHidden) != 0 ? L'-' : L'w';
  for (int i = 0; i < 3; ++i) {
    out.push_back(read);
    out.push_back(write);
    out.push_back(L'x');
  }
}

}  // namespace

int64_t UnixSecondsOfFileTime(uint64_t fileTime) {
  if (fileTime == 0) return 0;
  // Every FILETIME, even one past 2^63, is a whole number of seconds that fits.
  const auto seconds = static_cast<int64_t>(fileTime / kFileTimeUnitsPerSecond);
  return seconds - kSecondsFrom1601To1970;
}

BodyFileLineWriter::BodyFileLineWriter(const ScanSettings& settings, char16_t separator)
    : settings_(settings), separator_(separator) {}

void BodyFileLineWriter::Write(std::wostream& out, const FileEntry& entry) {
  lines_.clear();
  const bool forTerminal = !settings_.nulTerminated && IsInteractive(out);
  AppendLine(entry, false, forTerminal);
  AppendLine(entry, true, forTerminal);
  out.write(lines_.data(), static_cast<std::streamsize>(lines_.size()));
  EndLine(out);
}

void BodyFileLineWriter::AppendLine(const FileEntry& entry, bool fileNameTimes, bool forTerminal) {
  // On a terminal, control characters in names show as "?", as in the listing.
  const auto append = forTerminal ? AppendWideForTerminal : AppendWide;
  lines_ += L"0|";
  AppendWide(lines_, settings_.drivePrefix);
  append(lines_, entry.path);
  AppendWide(lines_, std::u16string_view(&separator_, 1));
  append(lines_, entry.name);
  if (fileNameTimes) lines_ += L" ($FILE_NAME)";
  if (entry.deleted) lines_ += L" (deleted)";
  lines_.push_back(L'|');

  lines_ += DecimalText(entry.recordNumber).View();
  if (fileNameTimes) {
    lines_ += L"-48-";
    lines_ += DecimalText(entry.fileNameId).View();
  } else if (entry.contentType != 0) {
    lines_.push_back(L'-');
    lines_ += DecimalText(entry.contentType).View();
    lines_.push_back(L'-');
    lines_ += DecimalText(entry.contentId).View();
  }
  lines_.push_back(L'|');
  AppendMode(lines_, entry);
  lines_ += L"|0|0|";
  // The $FILE_NAME line gives that attribute's size, as other tools do.
  lines_ +=
      DecimalText(fileNameTimes ? kFileNameFixedSize + 2 * uint64_t{entry.name.size()} : entry.size)
          .View();
  const uint64_t times[4] = {
      fileNameTimes ? entry.nameAccessed : entry.accessed,
      fileNameTimes ? entry.nameModified : entry.modified,
      fileNameTimes ? entry.nameMftChanged : entry.mftChanged,
      fileNameTimes ? entry.nameCreated : entry.created,
  };
  for (const uint64_t time : times) {
    lines_.push_back(L'|');
    lines_ += DecimalText(UnixSecondsOfFileTime(time)).View();
  }
  lines_.push_back(settings_.nulTerminated ? L'\0' : L'\n');
}

}  // namespace skerry
