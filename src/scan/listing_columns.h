#pragma once
// The listing's header and lines: the columns that the settings switch on,
// then the drive, the directory path and the name.

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>

#include "filters/scan_settings.h"
#include "platform/utf16_writer.h"
#include "scan/file_entry.h"

namespace skerry {

// Before the drive of a record that is no longer in use (-e): "*D:\old.txt".
inline constexpr char16_t kDeletedMarker = u'*';

// The header: the titles of the switched-on columns and "Path", a line feed
// at the end. Built once per listing.
std::wstring ListingHeader(const ScanSettings& settings);

class ListingLineWriter {
 public:
  // `separator` goes between path and name; `clusterSize` turns run lengths
  // into clusters.
  ListingLineWriter(const ScanSettings& settings, char16_t separator, uint32_t clusterSize);

  // Writes the entry's line, ending with a line feed (EndLine).
  void Write(std::wostream& out, const FileEntry& entry);

 private:
  void AppendColumns(const FileEntry& entry);

  const ScanSettings& settings_;
  char16_t separator_;
  uint32_t clusterSize_;
  std::wstring columnSeparator_;
  // The head of the line being built, reused for every line. It is UTF-16,
  // as the names and paths that follow it are, and the stream encodes the
  // whole line once.
  std::u16string line_;
  std::u16string masked_;  // the path and the name as a terminal shows them, reused
  std::wstring columns_;  // the switched-on columns of the line, reused
  Utf16Writer writer_;
  // The last time stamp's text, by its whole second: files made together
  // share it, and the local-time conversion is the costliest column.
  std::wostringstream timeText_;
  std::wstring lastTime_;
  uint64_t lastTimeSecond_ = 0;
  bool hasLastTime_ = false;
};

}  // namespace skerry
