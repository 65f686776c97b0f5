#include "ntfs/drive_names.h"

#include <algorithm>
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

std::optional<DriveMapping> ParseDriveMapping(std::u16string_view argument) {
  if (argument.size() < 3 || argument[1] != u':' || argument[2] != u'=') return std::nullopt;
  DriveMapping mapping;
  mapping.letter = argument[0];
  mapping.path = argument.substr(3);
  const size_t at = mapping.path.rfind(u'@');
  if (at == std::u16string_view::npos || at + 1 == mapping.path.size()) return mapping;
  uint64_t number = 0;
  for (const char16_t c : mapping.path.substr(at + 1)) {
    if (c < u'0' || c > u'9') return mapping;
    number = std::min<uint64_t>(number * 10 + (c - u'0'), UINT32_MAX);
  }
  mapping.partition = static_cast<uint32_t>(number);
  mapping.path = mapping.path.substr(0, at);
  return mapping;
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
