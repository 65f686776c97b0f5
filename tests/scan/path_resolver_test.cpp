#include "scan/path_resolver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntfs/directory_table.h"
#include "ntfs/mft_stream.h"
#include "platform/bytes.h"
#include "platform/text.h"
#include "scan/test_volume.h"
#include "support/record_builder.h"

namespace skerry {
namespace {

using test::DirectoryNamedElsewhere;
using test::DirectoryRecord;
using test::kRootRecord;
using test::MftRun;
using test::NameExtension;
using test::RecordBuilder;
using test::TestVolume;
using test::VolumeLayout;

// Fills a directory table from the MFT's stream, as a listing does.
class TableFiller final : public MftRecordConsumer {
 public:
  void Consume(uint64_t number, ErrorCode error, const MFTRecord& record,
               AttributeReader& reader) override {
    if (error == kErrorSuccess) table.Note(number, record, reader);
  }
  DirectoryTable table;
};

// Mounts the volume, its MFT streamed into a directory table, and resolves
// paths from that table.
class MountedResolver {
 public:
  explicit MountedResolver(TestVolume& volume, PathEncoding encoding = PathEncoding::kUtf16)
      : resolver_(filler_.table, u'\\', encoding) {
    EXPECT_EQ(volume.Mount(&filler_), kErrorSuccess);
    filler_.table.Finish();
  }
  PathResolver& resolver() { return resolver_; }

 private:
  TableFiller filler_;
  PathResolver resolver_;
};

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

constexpr bool kInUse = true;

uint64_t Reference(uint64_t record, uint16_t sequenceNumber) {
  return record | uint64_t{sequenceNumber} << 48;
}

TEST(PathResolverTest, BuildsPathsFromTheRootDown) {
  TestVolume volume = WindowsTree();
  MountedResolver mounted(volume);
  PathResolver& resolver = mounted.resolver();
  std::u16string_view path = u"old";
  for (const auto& [record, expected] : std::vector<std::pair<uint64_t, std::u16string>>{
           {31, u"\\Windows\\System32"},
           {31, u"\\Windows\\System32"},
           {30, u"\\Windows"},
           {kRootRecord, u""},
           {40, u"\\Users"}}) {
    ASSERT_TRUE(resolver.ResolveParent(record, kInUse, path));
    EXPECT_EQ(path, expected) << record;
  }
}

// b (31) lies in a (30) by a reference that carries a's sequence number, 1.
// Whatever keeps a from being b's parent breaks the chain there: b keeps its
// level under the orphan marker, and so does c below it, cached or not.
TEST(PathResolverTest, ChainsBreakAtAnythingButAnInUseDirectoryOfTheSameSequence) {
  struct Case {
    const char* what;
    std::vector<uint8_t> ancestor;  // record 30
    std::u16string expected;        // b's path
  };
  auto directory = [] { return RecordBuilder().DirectoryRecord(true).StandardInformation(1); };
  const Case cases[] = {
      {"sound", DirectoryRecord(u"a", kRootRecord), u"\\a\\b"},
      {"no FILE signature", Damaged(DirectoryRecord(u"a", kRootRecord)), u"\\$OrphanFiles\\b"},
      {"structure beyond the record", Overreaching(u"a", kRootRecord), u"\\$OrphanFiles\\b"},
      {"no $FILE_NAME", directory().Build(), u"\\$OrphanFiles\\b"},
      {"a file", test::PlainFileRecord(u"a", kRootRecord), u"\\$OrphanFiles\\b"},
      {"not in use", directory().InUse(false).FileName(u"a").Build(), u"\\$OrphanFiles\\b"},
      {"another sequence number", directory().RecordSequence(2).FileName(u"a").Build(),
       u"\\$OrphanFiles\\b"},
      {"its own parent", DirectoryRecord(u"a", 30), u"\\$OrphanFiles\\a\\b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestVolume volume;
    volume.Record(30, c.ancestor)
        .Record(31, DirectoryRecord(u"b", Reference(30, 1)))
        .Directory(32, u"c", 31);
    MountedResolver mounted(volume);
    PathResolver& resolver = mounted.resolver();
    const bool sound = c.expected == u"\\a\\b";
    std::u16string_view path;
    EXPECT_EQ(resolver.ResolveParent(31, kInUse, path), sound);
    EXPECT_EQ(path, c.expected);
    EXPECT_EQ(resolver.ResolveParent(32, kInUse, path), sound);
    EXPECT_EQ(path, c.expected + u"\\c");
  }
}

TEST(PathResolverTest, ReferencesToNoDirectoryAndLoopsGiveTheMarker) {
  TestVolume volume;
  // a (30) and b (31) are each other's parent; c (32) lies in a.
  volume.Directory(30, u"a", 31).Directory(31, u"b", 30).Directory(32, u"c", 30);
  MountedResolver mounted(volume);
  PathResolver& resolver = mounted.resolver();
  std::u16string_view path;
  EXPECT_FALSE(resolver.ResolveParent(32, kInUse, path));
  EXPECT_EQ(path, u"\\$OrphanFiles\\b\\a\\c");
  EXPECT_FALSE(resolver.ResolveParent(31, kInUse, path));
  EXPECT_EQ(path, u"\\$OrphanFiles\\b");
  // A loop met far up a chain.
  TestVolume deep;
  constexpr uint64_t kLevels = 40;
  for (uint64_t k = 0; k < kLevels; ++k) deep.Directory(40 + k, u"x", 40 + k + 1);
  deep.Directory(40 + kLevels, u"y", 40 + kLevels + 1)
      .Directory(40 + kLevels + 1, u"z", 40 + kLevels);
  MountedResolver deepMounted(deep);
  EXPECT_FALSE(deepMounted.resolver().ResolveParent(40, kInUse, path));
  EXPECT_EQ(path.substr(0, 20), u"\\$OrphanFiles\\z\\y\\x\\");
  EXPECT_EQ(path.size(), 17 + 2 * kLevels);
  // A record beyond every run of the MFT, one whose number has bits above
  // the 40th (record numbers are 48 bits wide), and record 0, which is a file.
  for (const uint64_t reference : {uint64_t{100000}, (uint64_t{1} << 40) | 30, uint64_t{0}}) {
    EXPECT_FALSE(resolver.ResolveParent(reference, kInUse, path));
    EXPECT_EQ(path, u"\\$OrphanFiles");
  }
}

// A deleted file may lie in a deleted directory, whose sequence number went
// up by one when it was freed; a file in use may not.
TEST(PathResolverTest, FilesNotInUseMayPassThroughDeletedDirectories) {
  TestVolume volume;
  volume.Record(30, RecordBuilder()
                        .DirectoryRecord(true)
                        .InUse(false)
                        .RecordSequence(3)
                        .FileName(u"gone", kRootRecord)
                        .Build());
  MountedResolver mounted(volume);
  PathResolver& resolver = mounted.resolver();
  std::u16string_view path;
  EXPECT_TRUE(resolver.ResolveParent(Reference(30, 2), !kInUse, path));
  EXPECT_EQ(path, u"\\gone");
  EXPECT_TRUE(resolver.ResolveParent(Reference(30, 3), !kInUse, path));
  EXPECT_FALSE(resolver.ResolveParent(Reference(30, 1), !kInUse, path));
  EXPECT_EQ(path, u"\\$OrphanFiles");
  EXPECT_FALSE(resolver.ResolveParent(Reference(30, 3), kInUse, path));
  EXPECT_EQ(path, u"\\$OrphanFiles");
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
  MountedResolver mounted(volume);
  PathResolver& resolver = mounted.resolver();
  std::u16string_view path;
  ASSERT_TRUE(resolver.ResolveParent(kFirst + kDepth - 1, kInUse, path));
  EXPECT_LE(path.size(), kMaxPathLength);
  EXPECT_GT(path.size(), kMaxPathLength - 252);
  EXPECT_EQ(path.front(), u'\\');
  const std::u16string deepest = u"\\" + longName + static_cast<char16_t>(u'A' + (kDepth - 1) % 26);
  EXPECT_EQ(path.substr(path.size() - deepest.size()), deepest);
  // Shallow levels keep their whole path.
  ASSERT_TRUE(resolver.ResolveParent(kFirst + 1, kInUse, path));
  EXPECT_EQ(path, u"\\" + longName + u"A\\" + longName + u"B");
}

// A resolver that keeps UTF-8 gives every path as the UTF-16 one encodes,
// names with pairs and lone halves, broken chains and a cut path among them.
TEST(PathResolverTest, Utf8PathsAreTheUtf16PathsEncoded) {
  TestVolume volume;
  const std::u16string pair = u"\U0001F600";
  const std::u16string high(1, char16_t{0xD83D});
  const std::u16string low(1, char16_t{0xDE00});
  volume.Directory(30, u"a" + pair, kRootRecord)
      .Directory(31, u"b" + high, 30)
      .Directory(32, low + u"c", 31)
      .Directory(33, u"x", 34)
      .Directory(34, u"y" + high, 33);
  // 200 levels of 250 units, a pair in each, under \a\b\c: cut near 32,767.
  for (uint64_t k = 0; k < 200; ++k) {
    volume.Directory(40 + k, std::u16string(248, u'n') + pair, k == 0 ? 32 : 40 + k - 1);
  }
  MountedResolver sixteen(volume);
  MountedResolver eight(volume, PathEncoding::kUtf8);
  std::vector<uint64_t> queries = {239, 5, 30, 31, 32, 33, 34, 100000};
  for (uint64_t k = 40; k < 239; ++k) queries.push_back(k);
  for (const uint64_t query : queries) {
    std::u16string_view path16;
    std::string_view path8;
    EXPECT_EQ(sixteen.resolver().ResolveParent(query, kInUse, path16),
              eight.resolver().ResolveParent(query, kInUse, path8))
        << query;
    EXPECT_EQ(path8, Utf16ToUtf8(path16)) << query;
  }
}

// 512-byte clusters and 1024-byte records: every record spans two clusters.
// The MFT's first run ends in the middle of record 10, and a stream buffer of
// a record and a half splits every other record between two refills.
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

  TableFiller filler;
  volume.volume().SetStreamBufferSize(1536);
  ASSERT_EQ(volume.volume().Mount(test::kTestDisk, volume.partition(), u'\\', &filler),
            kErrorSuccess);
  filler.table.Finish();
  PathResolver resolver(filler.table, u'\\');
  std::u16string_view path;
  ASSERT_TRUE(resolver.ResolveParent(11, kInUse, path));
  EXPECT_EQ(path, u"\\split\\next");
}

// 4096-byte clusters hold four records; a run of 2 clusters holds records 0 to 7.
TEST(PathResolverTest, RecordAtTheFirstClusterAfterARunIsInTheNextRun) {
  VolumeLayout layout;
  layout.mftRuns = {MftRun{10, 2}, MftRun{50, 2}};
  TestVolume volume(layout);
  volume.Directory(8, u"eight", kRootRecord).Directory(7, u"seven", 8);
  MountedResolver mounted(volume);
  PathResolver& resolver = mounted.resolver();
  std::u16string_view path;
  ASSERT_TRUE(resolver.ResolveParent(7, kInUse, path));
  EXPECT_EQ(path, u"\\eight\\seven");
}

// A directory whose attributes outgrew its record takes its name from the
// extension record its attribute list names, before or after it in the MFT;
// a record that belongs to another base gives no name.
TEST(PathResolverTest, DirectoryNamedInAnExtensionRecord) {
  TestVolume volume;
  volume.Record(30, DirectoryNamedElsewhere(31))
      .Record(31, NameExtension(30, u"later"))
      .Record(40, NameExtension(41, u"earlier"))
      .Record(41, DirectoryNamedElsewhere(40))
      .Record(50, DirectoryNamedElsewhere(51))
      .Record(51, NameExtension(52, u"foreign"));
  MountedResolver mounted(volume);
  PathResolver& resolver = mounted.resolver();
  std::u16string_view path;
  ASSERT_TRUE(resolver.ResolveParent(30, kInUse, path));
  EXPECT_EQ(path, u"\\later");
  ASSERT_TRUE(resolver.ResolveParent(41, kInUse, path));
  EXPECT_EQ(path, u"\\earlier");
  EXPECT_FALSE(resolver.ResolveParent(50, kInUse, path));
  EXPECT_EQ(path, u"\\$OrphanFiles");
}

}  // namespace
}  // namespace skerry
