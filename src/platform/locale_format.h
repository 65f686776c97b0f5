#pragma once
// Locale services for the listing: the user's digit grouping for sizes, and the
// local date and time of day for time stamps.
//
// Windows asks the system (GetLocaleInfoW, GetNumberFormatW, GetDateFormatW,
// GetTimeFormatW). POSIX follows the environment as Linux tools do: numbers
// from the LC_NUMERIC locale, the time of day from the LC_TIME locale (each
// chosen by LC_ALL, then the category's own variable, then LANG), local time
// from TZ. The date is MM/dd/yyyy on every platform and in every locale.
//
// The locale is read at first use and kept; ResetLocaleCacheForTesting makes
// the next use read the environment (and TZ) again.

#include <cstddef>
#include <cstdint>

namespace skerry {

// Separators hold at most 8 characters and a terminator, the size of buffer
// that the number format is read into; longer ones are cut.
inline constexpr size_t kSeparatorCapacity = 9;

// How the user's locale writes a number, the fields of Windows' NUMBERFMTW
// without the per-call count of fraction digits.
struct NumberFormat {
  unsigned leadingZero = 1;
  // Size of every group of integer digits; 0 means no grouping. Only the
  // leading group size of the locale counts (3;2 groups as 3).
  unsigned grouping = 0;
  wchar_t decimalSeparator[kSeparatorCapacity] = {L'.'};
  wchar_t thousandSeparator[kSeparatorCapacity] = {};
  // 0 "(1)", 1 "-1", 2 "- 1", 3 "1-", 4 "1 -".
  unsigned negativeOrder = 1;
};

// The user's number format, read at first use and kept.
const NumberFormat& UserNumberFormat();

// Writes `number` (an optional "-" and decimal digits, nothing else) with
// `format`'s grouping and negative order into `out`, terminator included, as
// Windows' GetNumberFormatW does for an integer. Returns false, with `out`
// unspecified, when the text does not fit in `capacity` characters or
// `number` is not of that form.
bool FormatGroupedInteger(const wchar_t* number, const NumberFormat& format, wchar_t* out,
                          size_t capacity);

// Local calendar fields of a time stamp, Windows' SYSTEMTIME.
struct LocalTime {
  uint16_t year = 0;
  uint16_t month = 0;      // 1 to 12
  uint16_t dayOfWeek = 0;  // 0 is Sunday
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

// Converts a FILETIME (100-nanosecond intervals since 1601-01-01 UTC) to local
// calendar fields. Fails, leaving `local` unspecified, for stamps the system
// cannot convert (on every platform: those with the top bit set).
bool FileTimeToLocalTime(uint64_t fileTime, LocalTime& local);

// The date as MM/dd/yyyy, whatever the locale's own date order. Returns the
// number of characters written before the terminator; 0 with `out` empty (when
// `capacity` allows) on failure.
size_t FormatDate(const LocalTime& local, wchar_t* out, size_t capacity);

// The time of day in the locale's format without seconds ("3:45 PM", "15:45").
// Returns as FormatDate does.
size_t FormatTimeWithoutSeconds(const LocalTime& local, wchar_t* out, size_t capacity);

// Forgets the cached locale data, so that the next call reads the locale
// environment variables and TZ again.
void ResetLocaleCacheForTesting();

}  // namespace skerry
