#pragma once

#include <ostream>
#include <string>

#include "filters/scan_settings.h"
#include "platform/errors.h"

namespace skerry {

// Searches a directory tree through the system's directory enumeration and
// prints the full path of every file that passes the settings' filter lists.
class DirectoryWalker {
 public:
  DirectoryWalker(ScanSettings& settings, std::wostream& output);

  // Walks the directory held in `path`, recursively.
  void Walk();

  ScanSettings& settings;
  std::wostream& output;
  // 0, or the code of the last directory that could not be opened.
  ErrorCode error = kErrorSuccess;
  // The directory being walked; the driver fills it before Walk().
  std::u16string path;
};

}  // namespace skerry
