#include "filters/match_predicates.h"

#include <gtest/gtest.h>

#include <limits>

#include "filters/test_views.h"

namespace skerry {
namespace {

using testing::FileIn;
using testing::FileNameOf;
using testing::StandardInfoModifiedAt;

const StandardInfoBlock kNoStandardInfo{};
const testing::FakeFile kAnyFile = FileIn(u"");

bool SizePasses(const MatchSize& match, int64_t size) {
  return match.Matches(kNoStandardInfo, FileNameOf(u"f", size), kAnyFile);
}

TEST(MatchSize, StrictComparisonInEitherDirectionAndInverted) {
  struct Case {
    int64_t threshold;
    SizeCompare compare;
    bool expected;
    int64_t size;
    bool passes;
  };
  const Case cases[] = {
      {1000, SizeGreater, true, 1000, false},
      {1000, SizeGreater, true, 1001, true},
      {1000, SizeGreater, false, 1000, true},
      {1000, SizeLess, true, 999, true},
      {1000, SizeLess, true, 1000, false},
      // Threshold 0 with "less" (what -s 0 makes) passes nothing; inverted, everything.
      {0, SizeLess, true, 0, false},
      {0, SizeLess, true, std::numeric_limits<int64_t>::max(), false},
      {0, SizeLess, false, 0, true},
      {0, SizeLess, false, 12345, true},
      // Sizes are signed 64-bit, so a damaged negative size is below every threshold.
      {10, SizeLess, true, -1, true},
      {10, SizeGreater, true, -1, false},
  };
  for (const Case& c : cases) {
    MatchSize match(c.expected, c.threshold, c.compare);
    EXPECT_EQ(SizePasses(match, c.size), c.passes)
        << "threshold " << c.threshold << " size " << c.size << " expected " << c.expected;
  }
}

TEST(StreamCntMatch, ComparesTheRecordsDataStreamCount) {
  const FileNameBlock name = FileNameOf(u"f");
  StreamCntMatch moreThanOne(true, 1, CountGreater);
  EXPECT_TRUE(moreThanOne.Matches(kNoStandardInfo, name, FileIn(u"", 2)));
  EXPECT_FALSE(moreThanOne.Matches(kNoStandardInfo, name, FileIn(u"", 1)));

  StreamCntMatch lessThanZero(true, 0, CountLess);
  EXPECT_FALSE(lessThanZero.Matches(kNoStandardInfo, name, FileIn(u"", 0)));

  // The threshold compares as unsigned 64-bit against the zero-extended count.
  StreamCntMatch huge(true, uint64_t{1} << 32, CountLess);
  EXPECT_TRUE(huge.Matches(kNoStandardInfo, name, FileIn(u"", 0xFFFFFFFF)));
}

TEST(MatchDate, ReferenceTimeItselfPassesNeitherDirection) {
  const uint64_t reference = 130000000000000000;
  const StandardInfoBlock atReference = StandardInfoModifiedAt(reference);
  const StandardInfoBlock later = StandardInfoModifiedAt(reference + 1);
  const StandardInfoBlock earlier = StandardInfoModifiedAt(reference - 1);
  const FileNameBlock name = FileNameOf(u"f");

  MatchDate before(true, reference, TimeBefore);
  MatchDate after(true, reference, TimeAfter);
  EXPECT_FALSE(before.Matches(atReference, name, kAnyFile));
  EXPECT_FALSE(after.Matches(atReference, name, kAnyFile));
  EXPECT_TRUE(before.Matches(earlier, name, kAnyFile));
  EXPECT_TRUE(after.Matches(later, name, kAnyFile));
  EXPECT_TRUE(MatchDate(false, reference, TimeBefore).Matches(atReference, name, kAnyFile));

  // FILETIME compares unsigned: a time with its top bit set is the latest.
  const StandardInfoBlock topBit = StandardInfoModifiedAt(uint64_t{1} << 63);
  EXPECT_TRUE(after.Matches(topBit, name, kAnyFile));
}

TEST(MatchName, EmptyNameFailsWhateverThePattern) {
  const FileNameBlock unnamed = FileNameOf(u"");
  for (std::u16string_view pattern : {u"*", u"", u"?"}) {
    EXPECT_FALSE(MatchName(true, pattern).Matches(kNoStandardInfo, unnamed, kAnyFile));
    EXPECT_TRUE(MatchName(false, pattern).Matches(kNoStandardInfo, unnamed, kAnyFile));
  }
}

TEST(MatchName, MatchesTheNameWithoutRegardToCase) {
  MatchName txt(true, u"*.TXT");
  EXPECT_TRUE(txt.Matches(kNoStandardInfo, FileNameOf(u"readme.txt"), kAnyFile));
  EXPECT_FALSE(txt.Matches(kNoStandardInfo, FileNameOf(u"readme.txt.bak"), kAnyFile));
  EXPECT_FALSE(MatchName(false, u"*.TXT").Matches(kNoStandardInfo, FileNameOf(u"a.txt"), kAnyFile));
  // The longest name a $FILE_NAME can hold is read whole.
  const std::u16string longest(255, u'n');
  EXPECT_TRUE(MatchName(true, longest).Matches(kNoStandardInfo, FileNameOf(longest), kAnyFile));
}

TEST(MatchDirectory, MatchesTheWholeDirectoryPath) {
  const FileNameBlock name = FileNameOf(u"f");
  MatchDirectory any(true, u"\\*");
  EXPECT_TRUE(any.Matches(kNoStandardInfo, name, FileIn(u"\\docs")));
  EXPECT_FALSE(any.Matches(kNoStandardInfo, name, FileIn(u"")));

  MatchDirectory root(true, u"");
  EXPECT_TRUE(root.Matches(kNoStandardInfo, name, FileIn(u"")));
  EXPECT_FALSE(root.Matches(kNoStandardInfo, name, FileIn(u"\\docs")));
  EXPECT_TRUE(MatchDirectory(false, u"").Matches(kNoStandardInfo, name, FileIn(u"\\docs")));
}

}  // namespace
}  // namespace skerry
