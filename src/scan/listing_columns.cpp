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
  // The line's head (columns, marker, drive) is built in one reused string;
  // the path and the name, most of the line, go to the stream from where
  // they are kept, and the stream takes the pieces as one line: no stream
  // formatting per column, no temporary string per line.
  line_.clear();
  if (ShowsAnyColumn(settings_)) {
    columns_.clear();
    AppendColumns(entry);
    AppendFromWide(line_, columns_);
  }
  // A record no longer in use (-e) is marked where no name can start.
  if (entry.deleted) line_.push_back(kDeletedMarker);
  line_ += settings_.drivePrefix;
  std::u16string_view path = entry.path;
  std::u16string_view name = entry.name;
  // On a terminal, control characters in names show as "?"; -0 asks for
  // names exactly as they are, whatever reads them.
  const bool interactive = IsInteractive(out);
  const bool masked = !settings_.nulTerminated && interactive;
  if (masked) {
    masked_.clear();
    // A path kept only as UTF-8 is not asked for on a terminal; were it
    // given, it is masked as its text.
    AppendForTerminal(masked_, entry.pathHasUtf8 ? Utf8ToUtf16(entry.pathUtf8) : path);
    const size_t pathLength = masked_.size();
    AppendForTerminal(masked_, name);
    path = std::u16string_view(masked_).substr(0, pathLength);
    name = std::u16string_view(masked_).substr(pathLength);
  }
  const std::u16string_view terminator =
      settings_.nulTerminated ? std::u16string_view(u"\0", 1) : std::u16string_view(u"\n");
  if (settings_.showDirectory && entry.pathHasUtf8 && !masked) {
    writer_.Write(out, line_, entry.pathUtf8,
                  {std::u16string_view(&separator_, 1), name, terminator});
  } else if (settings_.showDirectory) {
    writer_.Write(out, {line_, path, std::u16string_view(&separator_, 1), name, terminator});
  } else {
    writer_.Write(out, {line_, name, terminator});
  }
  // A terminal sees each line as it ends (EndLine).
  if (interactive) out.flush();
}

void ListingLineWriter::AppendColumns(const FileEntry& entry) {
  if (settings_.showIndex) {
    AppendRightAligned(columns_, DecimalText(entry.parent).View(), kCountWidth);
    columns_ += columnSeparator_;
  }
  if (settings_.showStreamCount) {
    AppendRightAligned(columns_, DecimalText(entry.dataCount).View(), kCountWidth);
    columns_ += columnSeparator_;
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
    columns_ += lastTime_;
    columns_ += columnSeparator_;
  }
  if (settings_.showSize) {
    wchar_t size[kNumberBufferCapacity];
    FormatNumber(size, kNumberBufferCapacity, static_cast<int64_t>(entry.size));
    AppendRightAligned(columns_, size, kSizeWidth);
    columns_.push_back(entry.sparse ? L'%' : L' ');
    columns_ += columnSeparator_;
  }
  if (settings_.showAttributes) {
    columns_ += Marker(entry);
    columns_ += columnSeparator_;
    AppendRightAligned(columns_, HexText(entry.attributes).View(), kAttributeWidth);
    columns_ += columnSeparator_;
  }
  if (settings_.showVcn && !entry.runs.empty()) {
    columns_ += L" VCN(";
    columns_ += DecimalText(entry.runs.size()).View();
    columns_ += L") ";
    for (const RunEntry& run : entry.runs) {
      columns_ += DecimalText(run.lcn.value).View();
      columns_.push_back(L'#');
      columns_ += DecimalText(static_cast<int64_t>(run.byteLength / clusterSize_)).View();
      columns_.push_back(L' ');
    }
  }
  if (settings_.showNameCount) {
    AppendRightAligned(columns_, DecimalText(entry.nameCount).View(), kCountWidth);
    columns_ += columnSeparator_;
  }
}

}  // namespace skerry
