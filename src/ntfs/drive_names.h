#pragma once
// From a drive argument to the names of the devices that hold the drive.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skerry {

// The letter of a drive argument: its first character when exactly one
// character comes before its first colon (d:\data, d:, or d alone), else the
// first character of the current directory.
char16_t GetDriveLetter(std::u16string_view argument);
// The same, with the current directory given, for callers that already have it.
char16_t GetDriveLetter(std::u16string_view argument, std::u16string_view currentDirectory);

// A drive argument that maps its drive to a disk, a disk image, a bare volume
// image or a device for this run: x:=PATH or x:=PATH@P. Everything after the
// "=" is the path, except a final "@" followed by digits only, which is the
// partition number (as Windows numbers partitions), so paths may hold "@".
struct DriveMapping {
  char16_t letter = 0;
  std::u16string_view path;
  // Absent without "@P"; UINT32_MAX for a number too large to hold.
  std::optional<uint32_t> partition;
};
std::optional<DriveMapping> ParseDriveMapping(std::u16string_view argument);

// "\\.\X:" with the letter upper-cased. Its last two characters are the
// drive's display name.
std::u16string VolumeDeviceName(char16_t letter);

// "\\.\PhysicalDriveN" with N in decimal, so that disks 10 and above get a
// name the system can open (\\.\PhysicalDrive12).
std::u16string PhysicalDriveName(uint32_t deviceNumber);

}  // namespace skerry
