#include "scan/column_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace skerry {
namespace {

// The listing's number columns must read exactly as the stream wrote them.
TEST(ColumnText, NumbersReadAsAClassicLocaleStreamWritesThem) {
  EXPECT_EQ(DecimalText(0).View(), L"0");
  EXPECT_EQ(DecimalText(uint32_t{4294967295u}).View(), L"4294967295");
  EXPECT_EQ(DecimalText(int64_t{-42}).View(), L"-42");
  EXPECT_EQ(DecimalText(std::numeric_limits<int64_t>::min()).View(), L"-9223372036854775808");
  EXPECT_EQ(DecimalText(std::numeric_limits<uint64_t>::max()).View(), L"18446744073709551615");
  EXPECT_EQ(HexText(0).View(), L"0");
  EXPECT_EQ(HexText(0x10000020).View(), L"10000020");
  EXPECT_EQ(HexText(0xABCDEF).View(), L"abcdef");

  std::wstring line;
  AppendRightAligned(line, L"20", 8);
  AppendRightAligned(line, L"123456789", 8);
  EXPECT_EQ(line, L"      20123456789");
}

}  // namespace
}  // namespace skerry
