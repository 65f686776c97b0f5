#include "scan/value_format.h"

#include <algorithm>
#include <cwchar>
#include <iomanip>

#include "scan/column_text.h"

namespace skerry {
namespace {

// Room for 19 digits of the largest magnitude, every separator at its longest
// and a sign on each side.
constexpr size_t kGroupedCapacity = 19 + 18 * (kSeparatorCapacity - 1) + 4;

}  // namespace

const NumberFormat& LocaleNumberFormat() { return UserNumberFormat(); }

wchar_t* FormatNumber(wchar_t* buffer, size_t capacity, int64_t value) {
  if (capacity == 0) return buffer;
  // "-" and the decimal digits, terminated: a sign and 19 digits at most.
  const DecimalText digits(value);
  wchar_t plain[21];
  const size_t plainLength = digits.View().copy(plain, 20);
  plain[plainLength] = L'\0';
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
