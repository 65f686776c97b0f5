#include "report/record_stats.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <sstream>

#include "platform/bytes.h"

namespace skerry {
namespace {

FileNameBlock NameValue(uint32_t flags, uint8_t nameType, uint64_t dataSize,
                        uint64_t allocatedSize) {
  FileNameBlock block{};
  StoreLe32(block.data() + kFnFlags, flags);
  block[kFnNameType] = nameType;
  StoreLe64(block.data() + kFnDataSize, dataSize);
  StoreLe64(block.data() + kFnAllocatedSize, allocatedSize);
  return block;
}

uint32_t Sum(const auto& counters) { return std::accumulate(counters.begin(), counters.end(), 0u); }

struct CountCase {
  const char* what;
  uint32_t flags;
  uint8_t nameType;
  uint64_t dataSize;
  uint64_t allocatedSize;
  size_t attributeClass;
  size_t nameTypeIndex;
  bool directory;
  int64_t realAdded;
  int64_t allocatedAdded;
};

TEST(RecordStats, SortsEachRecordIntoOneClassOneNameTypeAndOneKind) {
  constexpr uint64_t k2To48 = uint64_t{1} << 48;
  const CountCase cases[] = {
      {"plain file", 0x00, 1, 100, 4096, 0, 1, false, 100, 4096},
      {"archive and compressed count as Normal", 0x820, 3, 7, 8, 0, 3, false, 7, 8},
      {"read-only", 0x01, 0, 0, 0, 1, 0, false, 0, 0},
      {"system and hidden", 0x06, 2, 5, 0, 6, 2, false, 5, 0},
      {"system, read-only and hidden", 0x27, 1, 0, 0, 7, 1, false, 0, 0},
      {"name type above 3 by its low bits", 0x00, 6, 0, 0, 0, 2, false, 0, 0},
      {"name type 0xFF", 0x00, 0xFF, 0, 0, 0, 3, false, 0, 0},
      {"sizes of 2^48 and more by their low 48 bits", 0x00, 1, k2To48 + 5, 0xFFFF000000001000, 0, 1,
       false, 5, 0x1000},
      {"directory adds no sizes", kFileNameDirectoryFlag | 0x02, 1, 999, 4096, 2, 1, true, 0, 0},
      {"directory, system and read-only", kFileNameDirectoryFlag | 0x05, 3, 1, 1, 5, 3, true, 0, 0},
      {"hidden and read-only", 0x03, 1, 0, 0, 3, 1, false, 0, 0},
      {"system", 0x04, 1, 0, 0, 4, 1, false, 0, 0},
  };
  RecordStats stats;
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.what);
    const RecordStats before = stats;
    stats.Count(NameValue(c.flags, c.nameType, c.dataSize, c.allocatedSize));
    for (size_t i = 0; i < 8; ++i) {
      EXPECT_EQ(stats.attributeClassCount[i] - before.attributeClassCount[i],
                i == c.attributeClass ? 1u : 0u)
          << "class " << i;
    }
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(stats.nameTypeCount[i] - before.nameTypeCount[i], i == c.nameTypeIndex ? 1u : 0u)
          << "name type " << i;
    }
    EXPECT_EQ(stats.directoryCount - before.directoryCount, c.directory ? 1u : 0u);
    EXPECT_EQ(stats.fileCount - before.fileCount, c.directory ? 0u : 1u);
    EXPECT_EQ(stats.realSize - before.realSize, c.realAdded);
    EXPECT_EQ(stats.allocatedSize - before.allocatedSize, c.allocatedAdded);
  }
  EXPECT_EQ(Sum(stats.attributeClassCount), std::size(cases));
  EXPECT_EQ(Sum(stats.nameTypeCount), std::size(cases));
  EXPECT_EQ(stats.fileCount + stats.directoryCount, std::size(cases));
}

// 2^15 records of almost 2^48 bytes pass the range of a signed 64-bit sum.
TEST(RecordStats, SizeSumsStopAtTheLargestValueInsteadOfOverflowing) {
  RecordStats stats;
  const FileNameBlock huge = NameValue(0, 1, 0xFFFFFFFFFFFF, 0xFFFFFFFFFFFF);
  for (int i = 0; i < 40000; ++i) stats.Count(huge);
  EXPECT_EQ(stats.realSize, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(stats.allocatedSize, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(stats.fileCount, 40000u);
}

TEST(RecordStats, PrintsEveryFieldOnItsOwnLabelledLine) {
  RecordStats stats;
  stats.attributeClassCount = {1, 2, 3, 4, 5, 6, 7, 8};
  stats.nameTypeCount = {9, 10, 11, 12345678};
  stats.fileCount = 13;
  stats.directoryCount = 4000000000u;
  stats.realSize = 123456789012345;
  stats.allocatedSize = 9223372036854775807;
  std::wostringstream out;
  stats.Print(out);
  EXPECT_EQ(out.str(),
            L"  --ATTRIBUTES (count)--\n"
            L"              Normal:              1\n"
            L"         ReadOnly(R):              2\n"
            L"           Hidden(H):              3\n"
            L"                 R&H:              4\n"
            L"           System(S):              5\n"
            L"                 S&R:              6\n"
            L"                 S&H:              7\n"
            L"               S&R&H:              8\n"
            L"\n"
            L"  --NAME TYPES (count)--\n"
            L"               POSIX:              9\n"
            L"             Unicode:             10\n"
            L"                 DOS:             11\n"
            L"         Unicode&DOS:       12345678\n"
            L"\n"
            L"  --TYPE (count)--\n"
            L"                File:             13\n"
            L"           Directory:     4000000000\n"
            L"\n"
            L"  --SIZE--\n"
            L"                Real:123456789012345\n"
            L"           Allocated:9223372036854775807\n");
}

}  // namespace
}  // namespace skerry
