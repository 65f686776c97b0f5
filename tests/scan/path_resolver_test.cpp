#include "scan/path_resolver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/bytes.h"
#include "scan/test_volume.h"
#include "support/record_builder.h"

namespace skerry {
namespace {

using test::DirectoryRecord;
using test::kRootRecord;
using test::MftRun;
using test::RecordBuilder;
using test::TestVolume;
using test::VolumeLayout;

constexpr bool kFromDisk = false;
constexpr bool kFromMemory = true;

std::vector<uint8_t> Damaged(std::vector<uint8_t> record) {
  record[0] = 'B';
  record[1] = 'A';
  record[2] = 'A';
  record[3] = 'D';
  return record;
}

// A $FILE_NAME whose value offset points past the record's end: the parser
// raises BlockException on it.
std::vector<uint8_t> Overreaching(const std::u16string& name, uint64_t parent) {
  RecordBuilder builder;
  builder.FileName(name, parent, test::kDirectoryFlag);
  std::vector<uint8_t> record = builder.Build();
  StoreLe16(record.data() + builder.AttributeOffset(0) + 20, 0xFFF0);
  return record;
}

// \Windows (30), \Windows\System32 (31), \Users (40).
TestVolume WindowsTree() {
  TestVolume volume;
  volume.Directory(30, u"Windows", kRootRecord)
      .Directory(31, u"System32", 30)
      .Directory(40, u"Users", kRootRecord);
  return volume;
}

TEST(PathResolverTest, BuildsPathsFromTheRootDownAndReadsEachDirectoryOnce) {
  TestVolume volume = WindowsTree();
  ASSERT_EQ(volume.Mount(), kErrorSuccess);
  PathResolver resolver(volume.volume(), kFromDisk);
  std::u16string path = u"old";

  const size_t before = volume.disk().reads.size();
  ASSERT_EQ(resolver.ResolvePath(31, path), kErrorSuccess);
  EXPECT_EQ(path, u"\\Windows\\System32");
  // System32, Windows and the root, one read each.
  EXPECT_EQ(volume.disk().reads.size() - before, 3u);

  const size_t cached = volume.disk().reads.size();
  for (const auto& [record, expected] : std::vector<std::pair<uint64_t, std::u16string>>{
           {31, u"\\Windows\\System32"}, {30, u"\\Windows"}, {kRootRecord, u""}}) {
    ASSERT_EQ(resolver.ResolvePath(record, path), kErrorSuccess);
    EXPECT_EQ(path, expected) << record;
  }
  EXPECT_EQ(volume.disk().reads.size(), cached);
  EXPECT_EQ(volume.volume().pathCache().size(), 3u);

  ASSERT_EQ(resolver.ResolvePath(40, path), kErrorSuccess);
  EXPECT_EQ(path, u"\\Users");
  EXPECT_EQ(volume.disk().reads.size() - cached, 1u);
}

TEST(PathResolverTest, DirectoriesInMemoryAreNotReadFromTheDisk) {
  TestVolume volume = WindowsTree();
  ASSERT_EQ(volume.Mount(), kErrorSuccess);
  PathResolver resolver(volume.volume(), kFromMemory);
  const size_t before = volume.disk().reads.size();
  std::u16string path;
  ASSERT_EQ(resolver.ResolvePath(31, path), kErrorSuccess);
  EXPECT_EQ(path, u"\\Windows\\System32");
  EXPECT_EQ(volume.disk().reads.size(), before);
}

TEST(PathResolverTest, DamagedAncestorsDropTheirLevelsAndAreTriedAgain) {
  struct Case {
    const char* what;
    std::vector<uint8_t> ancestor;  // record 30, the parent of b (31)
    std::u16string expected;        // b's path
  };
  const Case cases[] = {
      {"sound", DirectoryRecord(u"a", kRootRecord), u"\\a\\b"},
      {"no FILE signature", Damaged(DirectoryRecord(u"a", kRootRecord)), u"\\b"},
      {"structure beyond the record", Overreaching(u"a", kRootRecord), u"\\b"},
      {"no $FILE_NAME", RecordBuilder().StandardInformation(test::kSomeTime).Build(), u"\\b"},
      {"its own parent", DirectoryRecord(u"a", 30), u"\\b"},
  };
  for (const bool inMemory : {kFromDisk, kFromMemory}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (inMemory ? " (memory)" : " (disk)"));
      TestVolume volume;
      volume.Record(30, c.ancestor).Directory(31, u"b", 30).Directory(32, u"c", 31);
      ASSERT_EQ(volume.Mount(), kErrorSuccess);
      PathResolver resolver(volume.volume(), inMemory);
      std::u16string path;
      ASSERT_EQ(resolver.ResolvePath(31, path), kErrorSuccess);
      EXPECT_EQ(path, c.expected);
      // The shortened path is kept for b and for what lies below it.
      ASSERT_EQ(resolver.ResolvePath(32, path), kErrorSuccess);
      EXPECT_EQ(path, c.expected + u"\\c");
    }
  }
}

TEST(PathResolverTest, UnreadableDirectoryIsNotCachedAndLeavesThePathAsItWas) {
  TestVolume volume;
  volume.Record(30, Damaged(DirectoryRecord(u"a", kRootRecord)));
  ASSERT_EQ(volume.Mount(), kErrorSuccess);
  PathResolver resolver(volume.volume(), kFromDisk);
  std::u16string path = u"kept";
  EXPECT_EQ(resolver.ResolvePath(30, path), kErrorInvalidParameter);
  EXPECT_EQ(path, u"kept");
  EXPECT_EQ(volume.volume().pathCache().count(30), 0u);
  // Tried again, from the disk again.
  const size_t before = volume.disk().reads.size();
  EXPECT_EQ(resolver.ResolvePath(30, path), kErrorInvalidParameter);
  EXPECT_GT(volume.disk().reads.size(), before);

  // A record beyond every run of the MFT cannot be located.
  EXPECT_EQ(resolver.ResolvePath(100000, path), kErrorInvalidBlock);
  EXPECT_EQ(path, u"kept");
}

TEST(PathResolverTest, ParentChainThatLoopsIsCutWhereItCloses) {
  TestVolume volume;
  // a (30) and b (31) are each other's parent; c (32) lies in a.
  volume.Directory(30, u"a", 31).Directory(31, u"b", 30).Directory(32, u"c", 30);
  ASSERT_EQ(volume.Mount(), kErrorSuccess);
  PathResolver resolver(volume.volume(), kFromMemory);
  std::u16string path;
  ASSERT_EQ(resolver.ResolvePath(32, path), kErrorSuccess);
  EXPECT_EQ(path, u"\\b\\a\\c");
  ASSERT_EQ(resolver.ResolvePath(31, path), kErrorSuccess);
  EXPECT_EQ(path, u"\\b");
}

TEST(PathResolverTest, PathLongerThanWindowsAllowsKeepsItsLastLevels) {
  TestVolume volume;
  const std::u16string longName(250, u'n');
  constexpr uint64_t kFirst = 30;
  constexpr uint64_t kDepth = 200;  // 200 levels of 251 characters: about 50,000
  for (uint64_t k = 0; k < kDepth; ++k) {
    const std::u16string name = longName + static_cast<char16_t>(u'A' + k % 26);
    volume.Directory(kFirst + k, name, k == 0 ? kRootRecord : kFirst + k - 1);
  }
  ASSERT_EQ(volume.Mount(), kErrorSuccess);
  PathResolver resolver(volume.volume(), kFromMemory);
  std::u16string path;
  ASSERT_EQ(resolver.ResolvePath(kFirst + kDepth - 1, path), kErrorSuccess);
  EXPECT_LE(path.size(), kMaxPathLength);
  EXPECT_GT(path.size(), kMaxPathLength - 252);
  EXPECT_EQ(path.front(), u'\\');
  const std::u16string deepest = u"\\" + longName + static_cast<char16_t>(u'A' + (kDepth - 1) % 26);
  EXPECT_EQ(path.substr(path.size() - deepest.size()), deepest);
  // Shallow levels keep their whole path.
  ASSERT_EQ(resolver.ResolvePath(kFirst + 1, path), kErrorSuccess);
  EXPECT_EQ(path, u"\\" + longName + u"A\\" + longName + u"B");
}

// 512-byte clusters and 1024-byte records: every record spans two clusters.
// The MFT's first run ends in the middle of record 10.
TEST(PathResolverTest, RecordLargerThanAClusterIsReadWholeEvenAcrossTwoRuns) {
  VolumeLayout layout;
  layout.sectorsPerCluster = 1;
  layout.mftRuns = {MftRun{100, 21}, MftRun{300, 40}};
  TestVolume volume(layout);
  volume.Directory(10, u"split", kRootRecord).Directory(11, u"next", 10);
  volume.Unmounted();
  // The builder writes each record in one piece; the record that straddles
  // the runs has its second half in the second run.
  const std::vector<uint8_t> record = DirectoryRecord(u"split", kRootRecord);
  const uint64_t partition = uint64_t{layout.startSector} * 512;
  volume.disk().Write(partition + 100 * 512 + 20 * 512, {record.data(), 512});
  volume.disk().Write(partition + 300 * 512, {record.data() + 512, 512});
  const std::vector<uint8_t> next = DirectoryRecord(u"next", 10);
  volume.disk().Write(partition + 300 * 512 + 512, next);

  ASSERT_EQ(volume.volume().Mount(test::kTestDisk, volume.partition(), u'\\', nullptr),
            kErrorSuccess);
  for (const bool inMemory : {kFromDisk, kFromMemory}) {
    volume.volume().pathCache().clear();
    PathResolver resolver(volume.volume(), inMemory);
    std::u16string path;
    ASSERT_EQ(resolver.ResolvePath(11, path), kErrorSuccess);
    EXPECT_EQ(path, u"\\split\\next") << inMemory;
  }
}

// 4096-byte clusters hold four records; a run of 2 clusters holds records 0 to 7.
TEST(PathResolverTest, RecordAtTheFirstClusterAfterARunIsInTheNextRun) {
  VolumeLayout layout;
  layout.mftRuns = {MftRun{10, 2}, MftRun{50, 2}};
  TestVolume volume(layout);
  volume.Directory(8, u"eight", kRootRecord).Directory(7, u"seven", 8);
  ASSERT_EQ(volume.Mount(), kErrorSuccess);
  PathResolver resolver(volume.volume(), kFromDisk);
  std::u16string path;
  ASSERT_EQ(resolver.ResolvePath(7, path), kErrorSuccess);
  EXPECT_EQ(path, u"\\eight\\seven");
  // Record 8 was read from the second run's first cluster.
  const uint64_t partition = uint64_t{layout.startSector} * 512;
  bool readSecondRun = false;
  for (const test::ReadCall& read : volume.disk().reads) {
    readSecondRun |= read.offset == partition + 50 * 4096;
  }
  EXPECT_TRUE(readSecondRun);
}

}  // namespace
}  // namespace skerry
