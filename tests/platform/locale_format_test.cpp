#include "platform/locale_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

#ifndef _WIN32
#include "platform/posix/time_pattern.h"
#endif

namespace skerry {
namespace {

NumberFormat MakeFormat(unsigned grouping, const wchar_t* thousandSeparator,
                        unsigned negativeOrder) {
  NumberFormat format;
  format.grouping = grouping;
  std::wcsncpy(format.thousandSeparator, thousandSeparator, kSeparatorCapacity - 1);
  format.negativeOrder = negativeOrder;
  return format;
}

TEST(FormatGroupedIntegerTest, AppliesGroupingSeparatorAndNegativeOrder) {
  struct Case {
    const wchar_t* number;
    NumberFormat format;
    const wchar_t* expected;
  } cases[] = {
      {L"1234567", MakeFormat(3, L",", 1), L"1,234,567"},
      {L"123456", MakeFormat(3, L",", 1), L"123,456"},
      {L"12", MakeFormat(3, L",", 1), L"12"},
      {L"1234567", MakeFormat(0, L",", 1), L"1234567"},
      {L"1234567", MakeFormat(2, L".", 1), L"1.23.45.67"},
      {L"1234567", MakeFormat(4, L"'", 1), L"123'4567"},
      {L"1234567", MakeFormat(3, L"\u00A0", 1), L"1\u00A0234\u00A0567"},
      {L"1234567", MakeFormat(3, L"", 1), L"1234567"},
      {L"-1234", MakeFormat(3, L",", 0), L"(1,234)"},
      {L"-1234", MakeFormat(3, L",", 1), L"-1,234"},
      {L"-1234", MakeFormat(3, L",", 2), L"- 1,234"},
      {L"-1234", MakeFormat(3, L",", 3), L"1,234-"},
      {L"-1234", MakeFormat(3, L",", 4), L"1,234 -"},
      {L"-9223372036854775808", MakeFormat(3, L",", 1), L"-9,223,372,036,854,775,808"},
  };
  for (const Case& c : cases) {
    wchar_t out[64];
    ASSERT_TRUE(FormatGroupedInteger(c.number, c.format, out, 64)) << c.number;
    EXPECT_STREQ(out, c.expected);
  }
}

TEST(FormatGroupedIntegerTest, FailsWhenTheTextDoesNotFitOrIsNoInteger) {
  const NumberFormat format = MakeFormat(3, L",", 0);
  wchar_t out[16];
  // "1,234" and its terminator need 6 characters.
  EXPECT_TRUE(FormatGroupedInteger(L"1234", format, out, 6));
  EXPECT_FALSE(FormatGroupedInteger(L"1234", format, out, 5));
  // The closing parenthesis counts too.
  EXPECT_TRUE(FormatGroupedInteger(L"-1234", format, out, 8));
  EXPECT_FALSE(FormatGroupedInteger(L"-1234", format, out, 7));
  EXPECT_FALSE(FormatGroupedInteger(L"0", format, out, 0));
  for (const wchar_t* notANumber : {L"", L"-", L"12a", L"1.5", L"+3"}) {
    EXPECT_FALSE(FormatGroupedInteger(notANumber, format, out, 16)) << notANumber;
  }
}

TEST(FormatDateTest, MonthDayYearWithZeros) {
  struct Case {
    LocalTime local;
    const wchar_t* expected;
  } cases[] = {
      {{2013, 9, 1, 2, 15, 45, 0, 0}, L"09/02/2013"},
      {{2000, 12, 0, 31, 0, 0, 0, 0}, L"12/31/2000"},
      {{1601, 1, 1, 1, 0, 0, 0, 0}, L"01/01/1601"},
  };
  for (const Case& c : cases) {
    wchar_t out[32];
    EXPECT_EQ(FormatDate(c.local, out, 32), std::wcslen(c.expected));
    EXPECT_STREQ(out, c.expected);
  }
  wchar_t small[10] = L"unchanged";
  EXPECT_EQ(FormatDate(cases[0].local, small, 10), 0u);
  EXPECT_STREQ(small, L"");
}

#ifndef _WIN32
TEST(TimePatternTest, DropsSecondsAndZoneFromLocaleFormats) {
  struct Case {
    const char* timeFormat;
    const char* amPmFormat;
    const char* expected;
  } cases[] = {
      {"%H:%M:%S", "%I:%M:%S %p", "%H:%M"},
      {"%T", "", "%H:%M"},
      {"%R", "", "%H:%M"},
      {"%r", "%I:%M:%S %p", "%I:%M %p"},
      {"%r", "", "%I:%M %p"},
      {"%H.%M.%S", "", "%H.%M"},
      {"%I:%M:%S %p %Z", "", "%I:%M %p"},
      {"%Z %I:%M:%S %p", "", "%I:%M %p"},
      {"kl. %H.%M %z", "", "kl. %H.%M"},
      {"%OH:%OM:%OS", "", "%OH:%OM"},
      {"%l:%M:%S\u1361%p", "", "%l:%M\u1361%p"},
      // Seconds with a unit word lose the word, the minutes keep theirs.
      {"%H\u6642%M\u5206%S\u79D2", "", "%H\u6642%M\u5206"},
      {"%H\uC2DC %M\uBD84 %S\uCD08", "", "%H\uC2DC %M\uBD84"},
      {"%p %I\u6642%M\u5206%S\u79D2 %Z", "", "%p %I\u6642%M\u5206"},
      {"100%% %H:%M:%S", "", "100%% %H:%M"},
      {"%H:%M", "", "%H:%M"},
      {"", "", "%H:%M"},
      {"%S", "", "%H:%M"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimePatternWithoutSeconds(c.timeFormat, c.amPmFormat), c.expected) << c.timeFormat;
  }
}

TEST(TimePatternTest, WritesTwelveHourFieldsWithoutLeadingZero) {
  struct Case {
    const char* pattern;
    int hour;
    const char* expected;
  } cases[] = {
      {"%I:%M %p", 0, "12:%M %p"},  {"%I:%M %p", 3, "3:%M %p"},
      {"%I:%M %p", 12, "12:%M %p"}, {"%I:%M %p", 15, "3:%M %p"},
      {"%l:%M %p", 23, "11:%M %p"}, {"%k:%M", 7, "7:%M"},
      {"%H:%M", 7, "%H:%M"},        {"%%I", 3, "%%I"},
      {"%OI:%OM", 3, "%OI:%OM"},
  };
  for (const Case& c : cases) {
    char out[32];
    ASSERT_TRUE(ExpandHourFields(c.pattern, c.hour, out, sizeof out)) << c.pattern;
    EXPECT_STREQ(out, c.expected);
  }
  char small[4];
  EXPECT_TRUE(ExpandHourFields("%I:", 10, small, 4));
  EXPECT_FALSE(ExpandHourFields("%I:%M", 10, small, 4));
}
#endif  // _WIN32

}  // namespace
}  // namespace skerry
