#pragma once
// From a drive argument to the names of the devices that hold the drive.

#include <cstdint>
#include <string>
#include <string_view>

namespace skerry {

// The letter of a drive argument: its first character when exactly one
// character comes before its first colon (d:\data, d:, or d alone), else the
// first character of the current directory.
char16_t GetDriveLetter(std::u16string_view argument);
// The same, with the current directory given, for callers that already have it.
char16_t GetDriveLetter(std::u16string_view argument, std::u16string_view currentDirectory);

// "\\.\X:" with the letter upper-cased. Its last two characters are the
// drive's display name.
std::u16string VolumeDeviceName(char16_t letter);

// "\\.\PhysicalDriveN" with N in decimal, so that disks 10 and above get a
// name the system can open (\\.\PhysicalDrive12).
std::u16string PhysicalDriveName(uint32_t deviceNumber);

}  // namespace skerry
