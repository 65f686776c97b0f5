#include "scan/value_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <locale.h>
#include <stdlib.h>
#include <time.h>
#endif

#include "platform/clock.h"
#include "platform/locale_format.h"

namespace skerry {
namespace {

std::wstring Formatted(int64_t value, size_t capacity = kNumberBufferCapacity) {
  std::vector<wchar_t> buffer(capacity + 1, L'?');
  return FormatNumber(buffer.data(), capacity, value);
}

std::wstring FileTimeText(uint64_t fileTime) {
  std::wostringstream out;
  WriteFileTime(out, fileTime);
  return out.str();
}

TEST(FormatNumberTest, TextThatDoesNotFitNeverOverflows) {
  // A hostile size record can make the most negative value: its 20 characters
  // do not fit in the listing's 20 with the terminator.
  EXPECT_EQ(Formatted(std::numeric_limits<int64_t>::min()), L"");
  wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(FormatNumber(buffer, 0, 5), buffer);
  EXPECT_EQ(buffer[0], L'x');
  EXPECT_EQ(Formatted(5, 1), L"");
  EXPECT_EQ(Formatted(5, 2), L"5");
  EXPECT_EQ(Formatted(1234, 4), L"");
  // Grouped "1,234" would need 6 of the 4 characters the grouping gets.
  EXPECT_EQ(Formatted(1234, 5), L"1234");
}

TEST(WriteFileTimeTest, StampsThatDoNotConvertWriteTheFillAlone) {
  for (uint64_t fileTime : {std::numeric_limits<uint64_t>::max(), uint64_t{1} << 63}) {
    EXPECT_EQ(FileTimeText(fileTime), L"                    ") << fileTime;
  }
}

// Windows formats with the user's and the system's locale settings; the
// environment chooses the locale on POSIX only.
#ifndef _WIN32
// FILETIME of a UTC calendar time.
uint64_t FileTimeOf(int year, int month, int day, int hour, int minute) {
  tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  const int64_t seconds = timegm(&fields);
  return static_cast<uint64_t>((seconds + kUnixEpochAsFileTimeSeconds) * kFileTimeTicksPerSecond);
}

using Settings = std::vector<std::pair<const char*, const char*>>;

// Sets the locale and time-zone variables for one test and makes the locale
// services read them again; restores everything afterwards.
class LocaleEnvironment {
 public:
  explicit LocaleEnvironment(const Settings& settings) {
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG", "TZ"}) {
      const char* value = getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
    for (const auto& [name, value] : settings) setenv(name, value, 1);
    ResetLocaleCacheForTesting();
  }
  LocaleEnvironment(const LocaleEnvironment&) = delete;
  LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;
  ~LocaleEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name, value->c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
    ResetLocaleCacheForTesting();
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

bool LocaleInstalled(const char* name) {
  locale_t locale = newlocale(LC_ALL_MASK, name, locale_t{});
  if (locale == locale_t{}) return false;
  freelocale(locale);
  return true;
}

#define REQUIRE_LOCALE(name)                                                 \
  do {                                                                       \
    if (!LocaleInstalled(name)) {                                            \
      GTEST_SKIP() << name << " is not installed (tools/setup.sh makes it)"; \
    }                                                                        \
  } while (false)

struct NumberCase {
  int64_t value;
  const wchar_t* expected;
};

TEST(FormatNumberTest, GroupsInEnglishLocale) {
  REQUIRE_LOCALE("en_US.UTF-8");
  LocaleEnvironment environment(Settings{{"LC_ALL", "en_US.UTF-8"}});
  const NumberCase cases[] = {
      {1234567, L"1,234,567"},
      {0, L"0"},
      {999, L"999"},
      {1000, L"1,000"},
      {-5, L"-5"},
      {-1234567, L"-1,234,567"},
      // The widest grouped text that fits: 18 characters.
      {99999999999999, L"99,999,999,999,999"},
      {-9999999999999, L"-9,999,999,999,999"},
      // One more character and the plain digits stay.
      {100000000000000, L"100000000000000"},
      {-99999999999999, L"-99999999999999"},
      {std::numeric_limits<int64_t>::max(), L"9223372036854775807"},
      {-999999999999999999, L"-999999999999999999"},
  };
  for (const NumberCase& c : cases) EXPECT_EQ(Formatted(c.value), c.expected) << c.value;
}

TEST(FormatNumberTest, FollowsTheNumericLocale) {
  REQUIRE_LOCALE("en_US.UTF-8");
  REQUIRE_LOCALE("de_DE.UTF-8");
  struct Case {
    Settings environment;
    const wchar_t* expected;
  } cases[] = {
      {{{"LC_ALL", "de_DE.UTF-8"}}, L"1.234.567"},
      {{{"LANG", "de_DE.UTF-8"}}, L"1.234.567"},
      {{{"LANG", "C"}}, L"1234567"},
      {{}, L"1234567"},
      {{{"LC_ALL", "xx_NOWHERE.UTF-8"}}, L"1234567"},
      // LC_ALL outranks LC_NUMERIC, which outranks LANG.
      {{{"LC_ALL", "de_DE.UTF-8"}, {"LC_NUMERIC", "en_US.UTF-8"}}, L"1.234.567"},
      {{{"LANG", "de_DE.UTF-8"}, {"LC_NUMERIC", "en_US.UTF-8"}}, L"1,234,567"},
      // The time category does not touch numbers.
      {{{"LC_TIME", "de_DE.UTF-8"}}, L"1234567"},
  };
  for (const Case& c : cases) {
    LocaleEnvironment environment(c.environment);
    EXPECT_EQ(Formatted(1234567), c.expected) << c.environment.size();
  }
}

TEST(WriteFileTimeTest, WritesDateAndTimeInTheirColumns) {
  REQUIRE_LOCALE("en_US.UTF-8");
  REQUIRE_LOCALE("de_DE.UTF-8");
  struct Case {
    const char* timeLocale;
    const char* zone;
    uint64_t fileTime;
    const wchar_t* expected;
  } cases[] = {
      {"en_US.UTF-8", "UTC", FileTimeOf(2000, 1, 1, 0, 5), L"01/01/2000  12:05 AM"},
      {"en_US.UTF-8", "UTC", FileTimeOf(2013, 9, 2, 15, 45), L"09/02/2013   3:45 PM"},
      {"en_US.UTF-8", "UTC", FileTimeOf(2013, 9, 2, 12, 0), L"09/02/2013  12:00 PM"},
      {"C", "UTC", FileTimeOf(2000, 1, 1, 0, 5), L"01/01/2000     00:05"},
      {"C", "UTC", FileTimeOf(2013, 9, 2, 15, 45), L"09/02/2013     15:45"},
      {"de_DE.UTF-8", "UTC", FileTimeOf(2013, 9, 2, 15, 45), L"09/02/2013     15:45"},
      // Local time follows TZ, daylight saving included.
      {"en_US.UTF-8", "America/New_York", FileTimeOf(2000, 1, 1, 0, 5), L"12/31/1999   7:05 PM"},
      {"en_US.UTF-8", "America/New_York", FileTimeOf(2000, 7, 1, 12, 0), L"07/01/2000   8:00 AM"},
      {"C", "Asia/Tokyo", FileTimeOf(2000, 1, 1, 0, 5), L"01/01/2000     09:05"},
      // The first and the last stamps that convert; a five-digit year is written whole.
      {"en_US.UTF-8", "UTC", 0, L"01/01/1601  12:00 AM"},
      {"C", "UTC", static_cast<uint64_t>(std::numeric_limits<int64_t>::max()),
       L"09/14/30828     02:48"},
  };
  for (const Case& c : cases) {
    LocaleEnvironment environment(Settings{{"LC_TIME", c.timeLocale}, {"TZ", c.zone}});
    EXPECT_EQ(FileTimeText(c.fileTime), c.expected) << c.timeLocale << " " << c.zone;
  }
}

TEST(WriteFileTimeTest, LongDayPeriodIsWrittenWhole) {
  REQUIRE_LOCALE("hi_IN.UTF-8");
  LocaleEnvironment environment(Settings{{"LC_TIME", "hi_IN.UTF-8"}, {"TZ", "UTC"}});
  // "12:05" and the morning's name: 15 characters in a column of 9.
  EXPECT_EQ(FileTimeText(FileTimeOf(2000, 1, 1, 0, 5)),
            L"01/01/2000 12:05 \u092A\u0942\u0930\u094D\u0935\u093E\u0939\u094D\u0928");
}

#endif  // _WIN32

}  // namespace
}  // namespace skerry
