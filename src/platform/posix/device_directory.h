#pragma once
// The device directory: Linux's stand-in for Windows' drive letters and disk
// devices, laid out like Wine's dosdevices so that one directory serves both.
//   physicaldriveN  the whole disk N (a disk image or a block device)
//   x::             the volume device of drive X
//   x:              the root directory of drive X

#include <string>

namespace skerry {

// $SKERRY_DOSDEVICES, else $WINEPREFIX/dosdevices, else ~/.wine/dosdevices.
// Empty when none of them can be formed (no variable set and no home directory).
// `origin`, when given, receives which of the three it is, for messages.
std::string DeviceDirectory(std::string* origin = nullptr);

}  // namespace skerry
