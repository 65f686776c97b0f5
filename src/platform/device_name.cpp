#include "platform/device_name.h"

namespace skerry {
namespace {

constexpr std::u16string_view kDevicePrefix = u"\\\\.\\";
constexpr std::u16string_view kPhysicalDrive = u"physicaldrive";
constexpr size_t kMaxDigits = 10;  // 4294967295

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<DeviceName> ParseDeviceName(std::u16string_view name) {
  if (!name.starts_with(kDevicePrefix)) return std::nullopt;
  std::u16string_view rest = name.substr(kDevicePrefix.size());

  if (rest.size() == 2 && rest[1] == u':') {
    char16_t letter = LowerAscii(rest[0]);
    if (letter < u'a' || letter > u'z') return std::nullopt;
    DeviceName device;
    device.kind = DeviceName::Kind::kVolume;
    device.letter = static_cast<char>(letter);
    return device;
  }

  if (!StartsWithIgnoringCase(rest, kPhysicalDrive)) return std::nullopt;
  std::u16string_view digits = rest.substr(kPhysicalDrive.size());
  if (digits.empty() || digits.size() > kMaxDigits) return std::nullopt;
  uint64_t number = 0;
  DeviceName device;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    number = number * 10 + (c - u'0');
    device.digits.push_back(static_cast<char>(c));
  }
  if (number > UINT32_MAX) return std::nullopt;
  device.number = static_cast<uint32_t>(number);
  return device;
}

}  // namespace skerry
