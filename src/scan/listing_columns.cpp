#include "scan/listing_columns.h"

#include <iomanip>
#include <sstream>

#include "platform/line_end.h"
#include "platform/text.h"
#include "scan/value_format.h"

namespace skerry {
namespace {

constexpr uint32_t kSparseMarkWidth = 1;
constexpr std::streamsize kCountWidth = 6;
constexpr std::streamsize kSizeWidth = kNumberBufferCapacity - kSparseMarkWidth;
constexpr std::streamsize kAttributeWidth = 8;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;

bool ShowsAnyColumn(const ScanSettings& settings) {
  return settings.showIndex || settings.showStreamCount || settings.showTime || settings.showSize ||
         settings.showAttributes || settings.showVcn || settings.showNameCount;
}

const wchar_t* Marker(const FileEntry& entry) {
  if ((entry.attributes & kFileNameDirectoryFlag) != 0) return L" Dir ";
  if (entry.dataCount > 1) return L" Aux ";
  return L"     ";
}

}  // namespace

std::wstring ListingHeader(const ScanSettings& settings) {
  std::wstring separator;
  AppendWide(separator, settings.columnSeparator);
  std::wostringstream header;
  if (settings.showIndex) header << std::setw(kCountWidth) << L"Parent" << separator;
  if (settings.showStreamCount) header << std::setw(kCountWidth) << L"#Data" << separator;
  if (settings.showTime) header << L"   Modified Date    " << separator;
  if (settings.showSize) {
    header << std::setw(kNumberBufferCapacity) << L"Size" << separator;
  }
  if (settings.showAttributes) {
    header << L" Dir" << separator << std::setw(kAttributeWidth) << L"Attribute" << separator;
  }
  if (settings.showNameCount) header << std::setw(kCountWidth) << L"#Name" << separator;
  header << L"Path\n";
  return header.str();
}

ListingLineWriter::ListingLineWriter(const ScanSettings& settings, char16_t separator,
                                     uint32_t clusterSize)
    : settings_(settings), separator_(separator), clusterSize_(clusterSize) {
  AppendWide(columnSeparator_, settings.columnSeparator);
}

void ListingLineWriter::Write(std::wostream& out, const FileEntry& entry) {
  if (ShowsAnyColumn(settings_)) WriteColumns(out, entry);
  // Drive, path and name go out as one piece of text, converted without a
  // temporary string.
  // On a terminal, control characters in names show as "?".
  const auto append = IsInteractive(out) ? AppendWideForTerminal : AppendWide;
  text_.clear();
  AppendWide(text_, settings_.drivePrefix);
  if (settings_.showDirectory) {
    append(text_, entry.path);
    AppendWide(text_, std::u16string_view(&separator_, 1));
  }
  append(text_, entry.name);
  text_.push_back(L'\n');
  out.write(text_.data(), static_cast<std::streamsize>(text_.size()));
  EndLine(out);
}

void ListingLineWriter::WriteColumns(std::wostream& out, const FileEntry& entry) {
  if (settings_.showIndex) out << std::setw(kCountWidth) << entry.parent << columnSeparator_;
  if (settings_.showStreamCount) {
    out << std::setw(kCountWidth) << entry.dataCount << columnSeparator_;
  }
  if (settings_.showTime) {
    // Zone offsets are whole seconds, so one second always shows as one
    // local date and minute.
    const uint64_t second = entry.modified / kFileTimeUnitsPerSecond;
    if (!hasLastTime_ || second != lastTimeSecond_) {
      timeText_.str(std::wstring());
      WriteFileTime(timeText_, entry.modified);
      lastTime_ = timeText_.str();
      lastTimeSecond_ = second;
      hasLastTime_ = true;
    }
    out << lastTime_ << columnSeparator_;
  }
  if (settings_.showSize) {
    wchar_t size[kNumberBufferCapacity];
    FormatNumber(size, kNumberBufferCapacity, static_cast<int64_t>(entry.size));
    out << std::setw(kSizeWidth) << size << (entry.sparse ? L'%' : L' ') << columnSeparator_;
  }
  if (settings_.showAttributes) {
    out << Marker(entry) << columnSeparator_ << std::hex << std::setw(kAttributeWidth)
        << entry.attributes << std::dec << columnSeparator_;
  }
  if (settings_.showVcn && !entry.runs.empty()) {
    out << L" VCN(" << static_cast<uint64_t>(entry.runs.size()) << L") ";
    for (const RunEntry& run : entry.runs) {
      out << run.lcn << L'#' << static_cast<int64_t>(run.byteLength / clusterSize_) << L' ';
    }
  }
  if (settings_.showNameCount) {
    out << std::setw(kCountWidth) << entry.nameCount << columnSeparator_;
  }
}

}  // namespace skerry
