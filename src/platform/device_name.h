#pragma once
// The two kinds of Windows device name that Skerry opens: a whole disk
// (\\.\PhysicalDrive1) and a volume (\\.\D:). Backends that have no such
// names of their own translate them through this.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skerry {

struct DeviceName {
  enum class Kind { kPhysicalDrive, kVolume };
  Kind kind = Kind::kPhysicalDrive;
  // Physical drive: the number, and its digits as written (so that
  // PhysicalDrive01 stays a name of its own, as it is for Windows).
  uint32_t number = 0;
  std::string digits;
  // Volume: the drive letter, lower-case a to z.
  char letter = 0;
};

// Recognizes \\.\PhysicalDriveN (N decimal, at most 4294967295, "PhysicalDrive"
// in any case) and \\.\X: (X a letter A to Z in either case). Anything else,
// including a drive "letter" that is not an ASCII letter, is no device name.
std::optional<DeviceName> ParseDeviceName(std::u16string_view name);

}  // namespace skerry
