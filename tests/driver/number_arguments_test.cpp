#include "driver/number_arguments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/clock.h"

namespace skerry {
namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(ParseDecimalInteger, ReadsTheLeadingDecimalNumber) {
  struct Case {
    std::u16string_view text;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      {u"1000", 1000},
      {u"12kb", 12},
      {u" \t\n-1000", -1000},
      {u"+5", 5},
      {u"0", 0},
      {u"-0", 0},
      {u"0x10", 0},
      {u"2147483647", kMax},
      {u"2147483648", kMax},
      {u"99999999999999999999999", kMax},
      {u"-2147483648", kMin},
      {u"-99999999999999999999999", kMin},
      {u"kb", std::nullopt},
      {u"", std::nullopt},
      {u"-", std::nullopt},
      {u"+-1", std::nullopt},
      {u" ", std::nullopt},
      {u"\u00A01", std::nullopt},   // no-break space is not white space here
      {u"\uFF11", std::nullopt},    // fullwidth digit one
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDecimalInteger(c.text), c.value)
        << std::string(c.text.begin(), c.text.end());
  }
}

TEST(ParseDecimalReal, ReadsDecimalFormsOnly) {
  struct Case {
    std::u16string_view text;
    std::optional<double> value;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {u"2.5", 2.5},
      {u"-7", -7.0},
      {u"-0.5", -0.5},
      {u".5", 0.5},
      {u"5.", 5.0},
      {u" +3", 3.0},
      {u"1e3", 1000.0},
      {u"1.5E-1days", 0.15},
      {u"1e", 1.0},
      {u"1e+", 1.0},
      {u"2.5.1", 2.5},
      {u"0.1", 0.1},
      {u"0x10", 0.0},
      {u"1e400", inf},
      {u"-1e400", -inf},
      {u"0.000001e999999999999", inf},
      {u"1e-400", 0.0},
      {u"123456789e-999999999999", 0.0},
      {u"x", std::nullopt},
      {u"", std::nullopt},
      {u".", std::nullopt},
      {u"-.", std::nullopt},
      {u"e5", std::nullopt},
      {u"inf", std::nullopt},
      {u"nan", std::nullopt},
      {u"infinity", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDecimalReal(c.text), c.value) << std::string(c.text.begin(), c.text.end());
  }
  EXPECT_TRUE(std::signbit(*ParseDecimalReal(u"-0")));
}

constexpr uint64_t kTicks = 10000000;
constexpr uint64_t kUint64Max = std::numeric_limits<uint64_t>::max();

TEST(AgeReference, SubtractsTheAgeFromNowAsFileTime) {
  const int64_t now = 1700000000;  // 2023-11-14
  const uint64_t nowTicks = (uint64_t(now) + 11644473600) * kTicks;
  EXPECT_EQ(AgeReference(0.0, now), nowTicks);
  EXPECT_EQ(AgeReference(2.5, now), nowTicks - 216000 * kTicks);
  EXPECT_EQ(AgeReference(-0.5, now), nowTicks - 43200 * kTicks);
  EXPECT_EQ(AgeReference(0.1, now), nowTicks - 8640 * kTicks);
  // Ages truncate toward zero to whole seconds.
  EXPECT_EQ(AgeReference(1.0 / 86400 * 1.5, now), nowTicks - 1 * kTicks);
}

TEST(AgeReference, HoldsPast2038AndSaturatesAtBothEnds) {
  const int64_t in2100 = 4102444800;
  EXPECT_EQ(AgeReference(0.0, in2100), (uint64_t(in2100) + 11644473600) * kTicks);
  // 30,000 days is beyond 2^31 seconds.
  EXPECT_EQ(AgeReference(30000.0, in2100),
            (uint64_t(in2100) + 11644473600 - 30000ull * 86400) * kTicks);

  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(AgeReference(1e300, in2100), 0u);
  EXPECT_EQ(AgeReference(-inf, in2100), 0u);
  EXPECT_EQ(AgeReference(1e6, 0), 0u);  // reaches back before 1601
  EXPECT_EQ(AgeReference(0.0, -11644473600 - 1), 0u);
  EXPECT_EQ(AgeReference(0.0, std::numeric_limits<int64_t>::min()), 0u);
  EXPECT_EQ(AgeReference(0.0, std::numeric_limits<int64_t>::max()), kUint64Max);
  EXPECT_EQ(AgeReference(0.0, int64_t{1} << 41), kUint64Max);
  EXPECT_EQ(AgeReference(1.0, std::numeric_limits<int64_t>::max()), kUint64Max - 86400 * kTicks);
}

}  // namespace
}  // namespace skerry
