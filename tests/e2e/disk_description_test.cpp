// The test-disk builder's description parser and partition-table writer.

#include <gtest/gtest.h>

#include <set>

#include "crc32.h"
#include "description.h"
#include "description_values.h"
#include "generated_files.h"
#include "partition_layout.h"
#include "utf.h"

namespace skerry::disk_builder {
namespace {

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
         static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

TEST(DescriptionValues, TimesAreFileTimes) {
  EXPECT_EQ(ParseTime("1601-01-01"), 0u);
  EXPECT_EQ(ParseTime("1970-01-01T00:00:00Z"), 116444736000000000u);
  EXPECT_EQ(ParseTime("2020-02-29T12:34:56"), 132274532960000000u);
  EXPECT_EQ(ParseTime("2020-02-29T12:34:56.5"), 132274532965000000u);
  EXPECT_EQ(ParseTime("filetime:42"), 42u);
  for (const char* bad : {"2020-13-01", "2020-1-01", "2020-01-01T25:00:00", "2020-01-01 x",
                          "2020-01-01T00:00:00.12345678"}) {
    EXPECT_THROW(ParseTime(bad), DescriptionError) << bad;
  }
}

TEST(DescriptionValues, SizesAndUnits) {
  EXPECT_EQ(ParseBytes("1500"), 1500u);
  EXPECT_EQ(ParseBytes("3KiB"), 3072u);
  EXPECT_EQ(ParseBytes("0x10"), 16u);
  EXPECT_EQ(ParseSectors("2048"), 2048u);
  EXPECT_EQ(ParseSectors("1MiB"), 2048u);
  EXPECT_THROW(ParseSectors("1000B"), DescriptionError);  // not whole sectors
  EXPECT_THROW(ParseBytes("5MB"), DescriptionError);
  EXPECT_THROW(ParseBytes("99999999999GiB"), DescriptionError);
  EXPECT_EQ(ParseAttributeLetters("hsr"), 0x7u);
  EXPECT_THROW(ParseAttributeLetters("hx"), DescriptionError);
}

TEST(DescriptionLine, QuotesKeepBlanksAndBackslashes) {
  DescriptionLine line;
  ASSERT_TRUE(SplitLine(R"(file "\My Docs\a b.txt" text="x = y" compressed # note)", line));
  EXPECT_EQ(line.keyword, "file");
  EXPECT_EQ(line.words, (std::vector<std::string>{R"(\My Docs\a b.txt)", "compressed"}));
  EXPECT_EQ(line.options.at("text"), "x = y");
  EXPECT_FALSE(SplitLine("   # only a comment", line));
  EXPECT_THROW(SplitLine("file \"\\open", line), DescriptionError);
}

TEST(Description, RejectsWhatCannotBeBuilt) {
  const std::string disk = "disk size=64MiB\n";
  const std::string ntfs = "partition size=32MiB fs=ntfs\n";
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"partition size=1MiB\n", "first line must be the disk"},
      {disk + "file \\a.txt\n", "must follow a partition with fs=ntfs"},
      {disk + "logical size=1MiB\n", "needs an extended partition"},
      {disk + ntfs + "file a.txt\n", "must start at the root"},
      {disk + ntfs + "file \\a\\\\b\n", "empty name"},
      {disk + ntfs + "frobnicate \\a\n", "unknown keyword"},
      {disk + ntfs + "file \\a size=1 colour=red\n", "unknown option colour"},
      {disk + ntfs + "file \\a text=x size=1\n", "exclude each other"},
      {disk + ntfs + "file \\a sparse\n", "sparse file needs size"},
      {disk + "partition size=1MiB type=0x05\n", "use the extended line"},
      {"disk size=64MiB table=gpt\nextended size=1MiB\n", "GPT disk has no extended"},
      {disk + "partition size=1MiB cluster=3000 fs=ntfs\n", "power of two"},
  };
  for (const Case& c : cases) {
    try {
      ParseDescription(c.text, ".");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const DescriptionError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << error.what() << " for " << c.text;
    }
  }
}

TEST(Layout, RejectsPlacementsTheTableCannotHold) {
  const char* cases[] = {
      "disk size=8MiB\npartition size=16MiB\n",  // past the end
      "disk size=64MiB\npartition start=2048 size=4MiB\npartition start=4096 "
      "size=4MiB\n",  // overlap
      "disk size=64MiB\npartition size=1MiB\npartition size=1MiB\npartition size=1MiB\n"
      "partition size=1MiB\npartition size=1MiB\n",                 // five entries
      "disk size=64MiB\nextended size=4MiB\nlogical size=4MiB\n",   // no room for the
                                                                    // gap
      "disk size=64MiB table=gpt\npartition start=10 size=1MiB\n",  // on the entry
                                                                    // array
  };
  for (const char* text : cases) {
    const DiskDescription disk = ParseDescription(text, ".");
    EXPECT_THROW(PlanLayout(disk), DescriptionError) << text;
  }
}

TEST(Layout, ExtendedChainLinksEachRecordToTheNext) {
  const DiskDescription disk = ParseDescription(
      "disk size=64MiB\n"
      "partition type=0x07 size=8MiB\n"
      "extended type=0x0F start=20MiB size=40MiB\n"
      "logical type=0x07 size=4MiB\n"
      "logical type=0x83 size=4MiB gap=63\n"
      "logical type=0x0B size=4MiB\n",
      ".");
  const DiskLayout layout = PlanLayout(disk);
  const std::vector<SectorWrite> sectors = PartitionTableSectors(disk, layout);
  ASSERT_EQ(sectors.size(), 4u);  // the MBR and three extended boot records
  const uint64_t base = 40960;    // 20 MiB

  const std::vector<uint8_t>& mbr = sectors[0].bytes;
  EXPECT_EQ(mbr[446 + 4], 0x07);
  EXPECT_EQ(Le32(mbr, 446 + 8), 2048u);
  EXPECT_EQ(mbr[462 + 4], 0x0F);
  EXPECT_EQ(Le32(mbr, 462 + 8), base);
  EXPECT_EQ(mbr[478 + 4], 0x00);
  EXPECT_EQ(mbr[510], 0x55);
  EXPECT_EQ(mbr[511], 0xAA);

  // Each record: its partition relative to itself, then the next record relative to the base.
  const uint64_t expectedRecords[] = {base, base + 2048 + 8192, base + 2048 + 8192 + 63 + 8192};
  const uint8_t types[] = {0x07, 0x83, 0x0B};
  const uint32_t gaps[] = {2048, 63, 2048};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(sectors[i + 1].sector, expectedRecords[i]);
    const std::vector<uint8_t>& ebr = sectors[i + 1].bytes;
    EXPECT_EQ(ebr[446 + 4], types[i]);
    EXPECT_EQ(Le32(ebr, 446 + 8), gaps[i]);
    EXPECT_EQ(Le32(ebr, 446 + 12), 8192u);
    EXPECT_EQ(layout.placed[i + 2].startSector, expectedRecords[i] + gaps[i]);
    if (i < 2) {
      EXPECT_EQ(ebr[462 + 4], 0x0F);
      EXPECT_EQ(Le32(ebr, 462 + 8), expectedRecords[i + 1] - base);
    } else {
      EXPECT_EQ(ebr[462 + 4], 0x00);
    }
  }
}

TEST(Layout, GptHeadersAndEntriesCarryValidChecksums) {
  const DiskDescription disk = ParseDescription(
      "disk size=16MiB table=gpt\npartition type=basic size=4MiB name=Data\n"
      "partition type=linux size=4MiB\n",
      ".");
  const DiskLayout layout = PlanLayout(disk);
  const std::vector<SectorWrite> sectors = PartitionTableSectors(disk, layout);
  const uint64_t last = 16 * 2048 - 1;
  ASSERT_EQ(sectors.size(), 5u);
  EXPECT_EQ(sectors[0].bytes[446 + 4], 0xEE);
  for (const SectorWrite* header : {&sectors[1], &sectors[4]}) {
    std::vector<uint8_t> bytes = header->bytes;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "EFI PART");
    const uint32_t stored = Le32(bytes, 16);
    for (int i = 16; i < 20; ++i) bytes[i] = 0;
    EXPECT_EQ(Crc32(bytes.data(), 92), stored);
    EXPECT_EQ(Le32(bytes, 88), Crc32(sectors[2].bytes.data(), sectors[2].bytes.size()));
  }
  EXPECT_EQ(sectors[1].sector, 1u);
  EXPECT_EQ(sectors[4].sector, last);
  EXPECT_EQ(Le32(sectors[4].bytes, 72), last - 32);  // the backup entries precede the backup header
  EXPECT_EQ(sectors[2].bytes, sectors[3].bytes);
  // The basic data type GUID, mixed-endian on disk.
  const std::vector<uint8_t> basic = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44};
  EXPECT_EQ(std::vector<uint8_t>(sectors[2].bytes.begin(), sectors[2].bytes.begin() + 8), basic);
}

TEST(Utf8ToUtf16, NamesOutsideAsciiAndBadBytes) {
  EXPECT_EQ(Utf8ToUtf16("caf\xC3\xA9"), u"caf\u00E9");
  EXPECT_EQ(Utf8ToUtf16("\xE6\x97\xA5"), u"\u65E5");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");  // a surrogate pair
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"}) {
    EXPECT_THROW(Utf8ToUtf16(bad), DescriptionError) << bad;
  }
}

TEST(GeneratedFiles, NamesArePaddedAndSizesStayInRange) {
  Action action;
  action.count = 1000;
  action.prefix = "f";
  action.extension = ".txt";
  action.sizeMin = 10;
  action.sizeMax = 20;
  action.seed = 7;
  GeneratedFiles files(action), again(action);
  GeneratedFile file, repeat;
  std::set<std::string> names;
  std::set<uint64_t> sizes;
  while (files.Next(file)) {
    ASSERT_TRUE(again.Next(repeat));
    EXPECT_EQ(file.name, repeat.name);
    EXPECT_EQ(file.size, repeat.size);
    names.insert(file.name);
    sizes.insert(file.size);
  }
  EXPECT_EQ(names.size(), 1000u);
  EXPECT_EQ(*names.begin(), "f000.txt");
  EXPECT_EQ(*names.rbegin(), "f999.txt");
  EXPECT_EQ(*sizes.begin(), 10u);
  EXPECT_EQ(*sizes.rbegin(), 20u);
}

}  // namespace
}  // namespace skerry::disk_builder
