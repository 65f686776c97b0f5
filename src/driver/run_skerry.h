#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "filters/scan_settings.h"
#include "platform/errors.h"

namespace skerry {

// What the driver runs for each drive argument; tests put in their own.
struct DriveRunners {
  // Scans one drive argument through its MFT and returns the drive's code.
  std::function<ErrorCode(std::u16string_view argument, ScanSettings& settings,
                          std::wostream& output)>
      scanDrive;
  // Searches the directory tree below `directory` and returns the walk's code.
  std::function<ErrorCode(std::u16string_view directory, ScanSettings& settings,
                          std::wostream& output)>
      walk;
};

// The whole run of the program over its arguments (element 0 is the program's
// name): options, then one scan per drive argument. Returns the exit status:
// the OR of the drives' error codes, 0 after the usage text, -1 after an
// option that cannot be read.
int RunSkerry(const std::vector<std::u16string>& args, std::wostream& out, std::wostream& err,
              const DriveRunners& runners);

// The drive argument's path as a file pattern (c:\docs\*.txt gives \docs\*.txt);
// empty for arguments of three characters or fewer, or without a colon second.
//
// The separator after the colon stays when a directory part follows, because
// directory paths begin with the separator: c:\docs\*.txt must compile to the
// directory pattern \docs, or it would match no directory. It is dropped when
// no other separator follows, so that c:\*.dll selects *.dll files anywhere
// on the drive, as the name part of a pattern without directory does.
std::u16string_view DrivePathPattern(std::u16string_view argument, char16_t separator);

// The directory where the slow walk of a drive argument starts: the argument
// cut at its last backslash, or the whole argument without one.
std::u16string_view WalkStartDirectory(std::u16string_view argument);

}  // namespace skerry
