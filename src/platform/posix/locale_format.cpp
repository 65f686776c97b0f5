#include "platform/locale_format.h"
#include "platform/user_number_format.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

#include "platform/clock.h"
#include "platform/posix/time_pattern.h"

namespace skerry {
namespace {

// The locale name that a category follows: LC_ALL, then the category's own
// variable, then LANG, else the C locale, the order setlocale(cat, "") uses.
std::string LocaleName(const char* category) {
  for (const char* variable : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// Opens the category together with the character type of the same locale, so
// that its texts decode in the character set they are written in. A locale
// that is not installed leaves the C locale, as it leaves a program that calls
// setlocale.
locale_t OpenLocale(int categoryMask, const char* category) {
  const std::string name = LocaleName(category);
  locale_t locale = newlocale(categoryMask | LC_CTYPE_MASK, name.c_str(), locale_t{});
  if (locale == locale_t{}) locale = newlocale(categoryMask | LC_CTYPE_MASK, "C", locale_t{});
  return locale;
}

// Decodes multibyte text of `locale`'s character set into `out` (terminated);
// an undecodable byte becomes U+FFFD. Text beyond `capacity` is cut.
size_t Decode(const char* text, locale_t locale, wchar_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  const locale_t previous = uselocale(locale);
  std::mbstate_t state{};
  size_t remaining = std::strlen(text);
  size_t length = 0;
  while (remaining > 0 && length + 1 < capacity) {
    wchar_t character = 0;
    size_t used = std::mbrtowc(&character, text, remaining, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      character = 0xFFFD;
      used = 1;
      state = std::mbstate_t{};
    } else if (used == 0) {
      break;
    }
    out[length++] = character;
    text += used;
    remaining -= used;
  }
  out[length] = L'\0';
  uselocale(previous);
  return length;
}

// POSIX locales have no negative-number order for plain numbers: Linux tools
// write a leading minus sign, Windows' order 1.
NumberFormat ReadNumberFormat() {
  NumberFormat format;
  const locale_t locale = OpenLocale(LC_NUMERIC_MASK, "LC_NUMERIC");
  if (locale == locale_t{}) return format;
  const locale_t previous = uselocale(locale);
  const lconv* conventions = localeconv();
  const char grouping = conventions->grouping[0];
  // CHAR_MAX, 0 or nothing at all: no grouping.
  format.grouping = (grouping > 0 && grouping < CHAR_MAX) ? static_cast<unsigned>(grouping) : 0;
  std::string decimal = conventions->decimal_point;
  std::string thousand = conventions->thousands_sep;
  uselocale(previous);
  if (!decimal.empty()) {
    Decode(decimal.c_str(), locale, format.decimalSeparator, kSeparatorCapacity);
  }
  Decode(thousand.c_str(), locale, format.thousandSeparator, kSeparatorCapacity);
  freelocale(locale);
  return format;
}

struct TimeCache {
  bool filled = false;
  locale_t locale = locale_t{};
  std::string pattern;
};

TimeCache& Times() {
  static TimeCache cache;
  return cache;
}

const TimeCache& TimeLocale() {
  TimeCache& cache = Times();
  if (cache.filled) return cache;
  // localtime_r need not read TZ itself; read it here, once per cache.
  tzset();
  cache.locale = OpenLocale(LC_TIME_MASK, "LC_TIME");
  if (cache.locale != locale_t{}) {
    cache.pattern = TimePatternWithoutSeconds(nl_langinfo_l(T_FMT, cache.locale),
                                              nl_langinfo_l(T_FMT_AMPM, cache.locale));
  }
  cache.filled = true;
  return cache;
}

bool AppendText(wchar_t* out, size_t capacity, size_t& length, const wchar_t* text) {
  for (; *text != L'\0'; ++text) {
    if (length + 1 >= capacity) return false;
    out[length++] = *text;
  }
  return true;
}

bool AppendChar(wchar_t* out, size_t capacity, size_t& length, wchar_t character) {
  const wchar_t text[2] = {character, L'\0'};
  return AppendText(out, capacity, length, text);
}

}  // namespace

NumberFormat ReadUserNumberFormat() { return ReadNumberFormat(); }

bool FormatGroupedInteger(const wchar_t* number, const NumberFormat& format, wchar_t* out,
                          size_t capacity) {
  if (capacity == 0) return false;
  const bool negative = *number == L'-';
  const wchar_t* digits = negative ? number + 1 : number;
  const size_t count = std::wcslen(digits);
  if (count == 0) return false;
  for (size_t i = 0; i < count; ++i) {
    if (digits[i] < L'0' || digits[i] > L'9') return false;
  }

  const unsigned order = format.negativeOrder;
  size_t length = 0;
  bool fits = true;
  if (negative && order == 0) fits = AppendChar(out, capacity, length, L'(');
  if (negative && order == 1) fits = AppendChar(out, capacity, length, L'-');
  if (negative && order == 2) fits = AppendText(out, capacity, length, L"- ");
  for (size_t i = 0; fits && i < count; ++i) {
    fits = AppendChar(out, capacity, length, digits[i]);
    const size_t left = count - 1 - i;  // digits still to come
    if (fits && left > 0 && format.grouping != 0 && left % format.grouping == 0) {
      fits = AppendText(out, capacity, length, format.thousandSeparator);
    }
  }
  if (fits && negative && order == 0) fits = AppendChar(out, capacity, length, L')');
  if (fits && negative && order == 3) fits = AppendChar(out, capacity, length, L'-');
  if (fits && negative && order == 4) fits = AppendText(out, capacity, length, L" -");
  if (negative && order > 4) fits = false;
  if (!fits) return false;
  out[length] = L'\0';
  return true;
}

bool FileTimeToLocalTime(uint64_t fileTime, LocalTime& local) {
  // Windows converts no stamp with the top bit set; neither do we, so both
  // platforms agree on which stamps print blank.
  if (fileTime > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
  const auto ticksPerSecond = static_cast<uint64_t>(kFileTimeTicksPerSecond);
  const int64_t unixSeconds =
      static_cast<int64_t>(fileTime / ticksPerSecond) - kUnixEpochAsFileTimeSeconds;
  if (unixSeconds < std::numeric_limits<time_t>::min() ||
      unixSeconds > std::numeric_limits<time_t>::max()) {
    return false;
  }
  TimeLocale();  // reads TZ
  const auto seconds = static_cast<time_t>(unixSeconds);
  tm fields{};
  if (localtime_r(&seconds, &fields) == nullptr) return false;
  const long long year = static_cast<long long>(fields.tm_year) + 1900;
  if (year < 1 || year > std::numeric_limits<uint16_t>::max()) return false;
  local.year = static_cast<uint16_t>(year);
  local.month = static_cast<uint16_t>(fields.tm_mon + 1);
  local.dayOfWeek = static_cast<uint16_t>(fields.tm_wday);
  local.day = static_cast<uint16_t>(fields.tm_mday);
  local.hour = static_cast<uint16_t>(fields.tm_hour);
  local.minute = static_cast<uint16_t>(fields.tm_min);
  local.second = static_cast<uint16_t>(fields.tm_sec);
  local.milliseconds = static_cast<uint16_t>(fileTime % ticksPerSecond / 10000);
  return true;
}

size_t FormatDate(const LocalTime& local, wchar_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  const int written = std::swprintf(out, capacity, L"%02u/%02u/%04u", unsigned{local.month},
                                    unsigned{local.day}, unsigned{local.year});
  if (written < 0 || static_cast<size_t>(written) >= capacity) {
    out[0] = L'\0';
    return 0;
  }
  return static_cast<size_t>(written);
}

size_t FormatTimeWithoutSeconds(const LocalTime& local, wchar_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  out[0] = L'\0';
  const TimeCache& cache = TimeLocale();
  if (cache.locale == locale_t{} || local.hour > 23) return 0;
  char pattern[256];
  if (!ExpandHourFields(cache.pattern, local.hour, pattern, sizeof pattern)) return 0;
  tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_wday = local.dayOfWeek;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  char text[256];
  if (strftime_l(text, sizeof text, pattern, &fields, cache.locale) == 0) return 0;
  return Decode(text, cache.locale, out, capacity);
}

void ResetLocaleCacheForTesting() {
  ForgetUserNumberFormat();
  TimeCache& times = Times();
  if (times.locale != locale_t{}) freelocale(times.locale);
  times = TimeCache{};
}

}  // namespace skerry
