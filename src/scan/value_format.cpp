#include "scan/value_format.h"

#include <algorithm>
#include <cwchar>
#include <iomanip>

namespace skerry {
namespace {

// Room for 19 digits of the largest magnitude, every separator at its longest
// and a sign on each side.
constexpr size_t kGroupedCapacity = 19 + 18 * (kSeparatorCapacity - 1) + 4;

// "-" and the decimal digits of `value`, terminated; returns the length.
size_t PlainDigits(int64_t value, wchar_t (&text)[21]) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  wchar_t reversed[20];
  size_t count = 0;
  do {
    reversed[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t length = 0;
  if (value < 0) text[length++] = L'-';
  while (count > 0) text[length++] = reversed[--count];
  text[length] = L'\0';
  return length;
}

}  // namespace

const NumberFormat& LocaleNumberFormat() { return UserNumberFormat(); }

wchar_t* FormatNumber(wchar_t* buffer, size_t capacity, int64_t value) {
  if (capacity == 0) return buffer;
  wchar_t plain[21];
  const size_t plainLength = PlainDigits(value, plain);
  if (plainLength >= capacity) {
    buffer[0] = L'\0';
    return buffer;
  }
  std::copy_n(plain, plainLength + 1, buffer);

  // One character short of the buffer, as the grouping has always been asked
  // for, so that the widest grouped size stays 18 characters.
  wchar_t grouped[kGroupedCapacity];
  const size_t groupedCapacity = std::min(capacity - 1, kGroupedCapacity);
  if (FormatGroupedInteger(plain, LocaleNumberFormat(), grouped, groupedCapacity)) {
    std::copy_n(grouped, std::wcslen(grouped) + 1, buffer);
  }
  return buffer;
}

std::wostream& WriteFileTime(std::wostream& stream, uint64_t fileTime) {
  wchar_t date[256] = L"";
  wchar_t time[256] = L"";
  LocalTime local;
  if (FileTimeToLocalTime(fileTime, local)) {
    FormatDate(local, date, 255);
    FormatTimeWithoutSeconds(local, time, 255);
  }
  stream << std::setw(10) << date << ' ' << std::setw(9) << time;
  return stream;
}

}  // namespace skerry
