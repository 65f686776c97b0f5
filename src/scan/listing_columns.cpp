#include "scan/listing_columns.h"

#include <iomanip>
#include <sstream>

#include "platform/clock.h"
#include "platform/line_end.h"
#include "platform/text.h"
#include "scan/column_text.h"
#include "scan/value_format.h"

namespace skerry {
namespace {

constexpr size_t kSparseMarkWidth = 1;
constexpr size_t kCountWidth = 6;
constexpr size_t kSizeWidth = kNumberBufferCapacity - kSparseMarkWidth;
constexpr size_t kAttributeWidth = 8;
constexpr uint64_t kFileTimeUnitsPerSecond = kFileTimeTicksPerSecond;

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
  constexpr auto kCountColumn = static_cast<std::streamsize>(kCountWidth);
  if (settings.showIndex) header << std::setw(kCountColumn) << L"Parent" << separator;
  if (settings.showStreamCount) header << std::setw(kCountColumn) << L"#Data" << separator;
  if (settings.showTime) header << L"   Modified Date    " << separator;
  if (settings.showSize) {
    header << std::setw(kNumberBufferCapacity) << L"Size" << separator;
  }
  if (settings.showAttributes) {
    header << L" Dir" << separator << std::setw(static_cast<std::streamsize>(kAttributeWidth))
           << L"Attribute" << separator;
  }
  if (settings.showNameCount) header << std::setw(kCountColumn) << L"#Name" << separator;
  header << L"Path\n";
  return header.str();
}

ListingLineWriter::ListingLineWriter(const ScanSettings& settings, char16_t separator,
                                     uint32_t clusterSize)
    : settings_(settings), separator_(separator), clusterSize_(clusterSize) {
  AppendWide(columnSeparator_, settings.columnSeparator);
}

void ListingLineWriter::Write(std::wostream& out, const FileEntry& entry) {
  // The whole line is built in one reused string and written at once: no
  // stream formatting per column, no temporary string per line.
  line_.clear();
  if (ShowsAnyColumn(settings_)) AppendColumns(entry);
  // On a terminal, control characters in names show as "?"; -0 asks for
  // names exactly as they are, whatever reads them.
  const bool forTerminal = !settings_.nulTerminated && IsInteractive(out);
  const auto append = forTerminal ? AppendWideForTerminal : AppendWide;
  // A record no longer in use (-e) is marked where no name can start.
  if (entry.deleted) line_.push_back(kDeletedMarker);
  AppendWide(line_, settings_.drivePrefix);
  if (settings_.showDirectory) {
    append(line_, entry.path);
    AppendWide(line_, std::u16string_view(&separator_, 1));
  }
  append(line_, entry.name);
  line_.push_back(settings_.nulTerminated ? L'\0' : L'\n');
  out.write(line_.data(), static_cast<std::streamsize>(line_.size()));
  EndLine(out);
}

void ListingLineWriter::AppendColumns(const FileEntry& entry) {
  if (settings_.showIndex) {
    AppendRightAligned(line_, DecimalText(entry.parent).View(), kCountWidth);
    line_ += columnSeparator_;
  }
  if (settings_.showStreamCount) {
    AppendRightAligned(line_, DecimalText(entry.dataCount).View(), kCountWidth);
    line_ += columnSeparator_;
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
    line_ += lastTime_;
    line_ += columnSeparator_;
  }
  if (settings_.showSize) {
    wchar_t size[kNumberBufferCapacity];
    FormatNumber(size, kNumberBufferCapacity, static_cast<int64_t>(entry.size));
    AppendRightAligned(line_, size, kSizeWidth);
    line_.push_back(entry.sparse ? L'%' : L' ');
    line_ += columnSeparator_;
  }
  if (settings_.showAttributes) {
    line_ += Marker(entry);
    line_ += columnSeparator_;
    AppendRightAligned(line_, HexText(entry.attributes).View(), kAttributeWidth);
    line_ += columnSeparator_;
  }
  if (settings_.showVcn && !entry.runs.empty()) {
    line_ += L" VCN(";
    line_ += DecimalText(entry.runs.size()).View();
    line_ += L") ";
    for (const RunEntry& run : entry.runs) {
      line_ += DecimalText(run.lcn.value).View();
      line_.push_back(L'#');
      line_ += DecimalText(static_cast<int64_t>(run.byteLength / clusterSize_)).View();
      line_.push_back(L' ');
    }
  }
  if (settings_.showNameCount) {
    AppendRightAligned(line_, DecimalText(entry.nameCount).View(), kCountWidth);
    line_ += columnSeparator_;
  }
}

}  // namespace skerry
