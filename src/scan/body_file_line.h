#pragma once
// Lines of a body file, the input of timeline tools (mactime -b):
// MD5|name|inode|mode|UID|GID|size|atime|mtime|ctime|crtime, two per record:
// one with its $STANDARD_INFORMATION times, one with its $FILE_NAME times.

#include <cstdint>
#include <ostream>
#include <string>

#include "filters/scan_settings.h"
#include "scan/file_entry.h"

namespace skerry {

// A FILETIME as Unix seconds, rounded down; 0 (no time) stays 0.
int64_t UnixSecondsOfFileTime(uint64_t fileTime);

class BodyFileLineWriter {
 public:
  // `separator` goes between path and name.
  BodyFileLineWriter(const ScanSettings& settings, char16_t separator);

  // Writes the entry's two lines.
  void Write(std::wostream& out, const FileEntry& entry);

 private:
  void AppendLine(const FileEntry& entry, bool fileNameTimes, bool forTerminal);

  const ScanSettings& settings_;
  char16_t separator_;
  // The lines being built, reused for every record.
  std::wstring lines_;
};

}  // namespace skerry
