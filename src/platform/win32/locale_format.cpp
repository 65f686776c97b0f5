#include "platform/locale_format.h"
#include "platform/user_number_format.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <cwchar>

namespace skerry {
namespace {

// A decimal text-to-integer conversion that stops at the first non-digit, so
// that only the leading group size of a grouping text such as "3;2;0" counts.
unsigned LeadingNumber(const wchar_t* text) {
  unsigned value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    if (value > 1000) break;  // no locale field is that large; stop before overflow
    value = value * 10 + static_cast<unsigned>(*text - L'0');
  }
  return value;
}

// Reads one locale field of the user's locale; keeps `fallback` when the
// system has none.
void ReadField(LCTYPE type, wchar_t (&buffer)[kSeparatorCapacity], const wchar_t* fallback) {
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, kSeparatorCapacity) == 0) {
    wcsncpy(buffer, fallback, kSeparatorCapacity - 1);
    buffer[kSeparatorCapacity - 1] = L'\0';
  }
}

NumberFormat ReadNumberFormat() {
  NumberFormat format;
  wchar_t field[kSeparatorCapacity];
  ReadField(LOCALE_ILZERO, field, L"1");
  format.leadingZero = LeadingNumber(field);
  ReadField(LOCALE_SGROUPING, field, L"3;0");
  format.grouping = LeadingNumber(field);
  ReadField(LOCALE_SDECIMAL, format.decimalSeparator, L".");
  ReadField(LOCALE_STHOUSAND, format.thousandSeparator, L",");
  ReadField(LOCALE_INEGNUMBER, field, L"1");
  format.negativeOrder = LeadingNumber(field);
  return format;
}

SYSTEMTIME ToSystemTime(const LocalTime& local) {
  SYSTEMTIME fields{};
  fields.wYear = local.year;
  fields.wMonth = local.month;
  fields.wDayOfWeek = local.dayOfWeek;
  fields.wDay = local.day;
  fields.wHour = local.hour;
  fields.wMinute = local.minute;
  fields.wSecond = local.second;
  fields.wMilliseconds = local.milliseconds;
  return fields;
}

int CapacityArgument(size_t capacity) {
  return capacity > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(capacity);
}

// GetDateFormatW and GetTimeFormatW, which take the same arguments.
using TimeFormatter = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

// Dates and times follow the system's locale, numbers the user's.
size_t FormatSystemTime(TimeFormatter formatter, DWORD flags, const wchar_t* picture,
                        const LocalTime& local, wchar_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  const SYSTEMTIME fields = ToSystemTime(local);
  const int result =
      formatter(LOCALE_SYSTEM_DEFAULT, flags, &fields, picture, out, CapacityArgument(capacity));
  // The result counts the terminator; 0 is a failure.
  if (result <= 0) {
    out[0] = L'\0';
    return 0;
  }
  return static_cast<size_t>(result) - 1;
}

// An optional "-" and at least one decimal digit. GetNumberFormatW takes more
// (a fraction, rounded away: "1.5" becomes "2"; under Wine also "" and "-"),
// which would hide a caller's mistake behind a plausible number.
bool IsIntegerText(const wchar_t* number) {
  if (*number == L'-') ++number;
  if (*number == L'\0') return false;
  for (; *number != L'\0'; ++number) {
    if (*number < L'0' || *number > L'9') return false;
  }
  return true;
}

}  // namespace

NumberFormat ReadUserNumberFormat() { return ReadNumberFormat(); }

bool FormatGroupedInteger(const wchar_t* number, const NumberFormat& format, wchar_t* out,
                          size_t capacity) {
  if (capacity == 0 || !IsIntegerText(number)) return false;
  // NUMBERFMTW wants writable separators.
  wchar_t decimalSeparator[kSeparatorCapacity];
  wchar_t thousandSeparator[kSeparatorCapacity];
  std::memcpy(decimalSeparator, format.decimalSeparator, sizeof decimalSeparator);
  std::memcpy(thousandSeparator, format.thousandSeparator, sizeof thousandSeparator);
  decimalSeparator[kSeparatorCapacity - 1] = L'\0';
  thousandSeparator[kSeparatorCapacity - 1] = L'\0';
  NUMBERFMTW numberFormat{};
  numberFormat.NumDigits = 0;
  numberFormat.LeadingZero = format.leadingZero;
  numberFormat.Grouping = format.grouping;
  numberFormat.lpDecimalSep = decimalSeparator;
  numberFormat.lpThousandSep = thousandSeparator;
  numberFormat.NegativeOrder = format.negativeOrder;
  return GetNumberFormatW(LOCALE_USER_DEFAULT, 0, number, &numberFormat, out,
                          CapacityArgument(capacity)) != 0;
}

bool FileTimeToLocalTime(uint64_t fileTime, LocalTime& local) {
  // FileTimeToSystemTime refuses the top bit; refusing it before the bias is
  // added keeps a time zone west of UTC from pulling such a stamp back into range.
  if (fileTime >> 63 != 0) return false;
  FILETIME universal;
  universal.dwLowDateTime = static_cast<DWORD>(fileTime);
  universal.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  FILETIME localTime;
  SYSTEMTIME fields;
  if (!FileTimeToLocalFileTime(&universal, &localTime) ||
      !FileTimeToSystemTime(&localTime, &fields)) {
    return false;
  }
  local.year = fields.wYear;
  local.month = fields.wMonth;
  local.dayOfWeek = fields.wDayOfWeek;
  local.day = fields.wDay;
  local.hour = fields.wHour;
  local.minute = fields.wMinute;
  local.second = fields.wSecond;
  local.milliseconds = fields.wMilliseconds;
  return true;
}

size_t FormatDate(const LocalTime& local, wchar_t* out, size_t capacity) {
  return FormatSystemTime(GetDateFormatW, 0, L"MM'/'dd'/'yyyy", local, out, capacity);
}

size_t FormatTimeWithoutSeconds(const LocalTime& local, wchar_t* out, size_t capacity) {
  return FormatSystemTime(GetTimeFormatW, TIME_NOSECONDS, nullptr, local, out, capacity);
}

void ResetLocaleCacheForTesting() { ForgetUserNumberFormat(); }

}  // namespace skerry
