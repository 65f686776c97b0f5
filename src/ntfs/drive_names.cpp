#include "ntfs/drive_names.h"

#include <cwctype>

#include "platform/current_directory.h"
#include "platform/text.h"

namespace skerry {

char16_t GetDriveLetter(std::u16string_view argument, std::u16string_view currentDirectory) {
  const size_t colon = argument.find(u':');
  const size_t beforeColon = colon == std::u16string_view::npos ? argument.size() : colon;
  if (beforeColon == 1) return argument[0];
  return currentDirectory.empty() ? u'\0' : currentDirectory[0];
}

char16_t GetDriveLetter(std::u16string_view argument) {
  const size_t colon = argument.find(u':');
  const size_t beforeColon = colon == std::u16string_view::npos ? argument.size() : colon;
  if (beforeColon == 1) return argument[0];
  return GetDriveLetter(argument, GetCurrentDirectoryPath());
}

std::u16string VolumeDeviceName(char16_t letter) {
  const auto upper = static_cast<char16_t>(std::towupper(static_cast<std::wint_t>(letter)));
  std::u16string name = u"\\\\.\\C:";
  name[4] = upper;
  return name;
}

std::u16string PhysicalDriveName(uint32_t deviceNumber) {
  return u"\\\\.\\PhysicalDrive" + Widen(std::to_string(deviceNumber));
}

}  // namespace skerry
