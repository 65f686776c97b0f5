// The harness's own parsing and comparison: a fault here would hide faults in skerry.

#include <gtest/gtest.h>

#include "listing_comparison.h"
#include "sleuth_kit.h"

namespace skerry::e2e {
namespace {

TEST(FlsLine, ParsesEntries) {
  struct Case {
    const char* line;
    char type;
    bool deleted;
    uint64_t inode;
    const char* path;
  };
  const Case cases[] = {
      {"r/r 64-128-2:\tdocs/a.txt", 'r', false, 64, "docs/a.txt"},
      {"d/d 11-144-2:\t$Extend", 'd', false, 11, "$Extend"},
      {"-/r * 99-128-2:\tdocs/draft.txt", '-', true, 99, "docs/draft.txt"},
      {"r/r * 92(realloc):\tpic2/a b.jpg", 'r', true, 92, "pic2/a b.jpg"},
      {"r/r 65-128-4:\tdocs/a.txt:zone", 'r', false, 65, "docs/a.txt:zone"},
      {"V/V 74:\t$OrphanFiles", 'V', false, 74, "$OrphanFiles"},
      {"r/r 73-128-2:\t日本/é😀.txt", 'r', false, 73, "日本/é😀.txt"},
  };
  for (const Case& c : cases) {
    FlsEntry entry;
    ASSERT_TRUE(ParseFlsLine(c.line, entry)) << c.line;
    EXPECT_EQ(entry.nameType, c.type) << c.line;
    EXPECT_EQ(entry.deleted, c.deleted) << c.line;
    EXPECT_EQ(entry.inode, c.inode) << c.line;
    EXPECT_EQ(entry.path, c.path) << c.line;
  }
  FlsEntry entry;
  EXPECT_FALSE(ParseFlsLine("", entry));
  EXPECT_FALSE(ParseFlsLine("Cannot determine file system type", entry));
}

TEST(IstatNames, ReadsEveryFileNameAttribute) {
  const std::string out =
      "MFT Entry Header Values:\nEntry: 67        Sequence: 1\n\n"
      "$FILE_NAME Attribute Values:\nFlags: Archive\nName: WITHSP~1.TXT\n"
      "Parent MFT Entry: 64 \tSequence: 1\nAllocated Size: 16   \tActual Size: 10\n\n"
      "$FILE_NAME Attribute Values:\nFlags: Archive\nName: with space.txt\n"
      "Parent MFT Entry: 64 \tSequence: 1\n\nAttributes: \n"
      "Type: $FILE_NAME (48-4)   Name: N/A   Resident   size: 90\n";
  const std::vector<FileNameOfRecord> names = ParseIstatFileNames(out);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0].name, "WITHSP~1.TXT");
  EXPECT_EQ(names[1].name, "with space.txt");
  EXPECT_EQ(names[1].parent, 64u);
}

std::vector<FlsEntry> Fls(const std::vector<std::string>& lines) {
  std::vector<FlsEntry> entries;
  for (const std::string& line : lines) {
    FlsEntry entry;
    EXPECT_TRUE(ParseFlsLine(line, entry)) << line;
    entries.push_back(entry);
  }
  return entries;
}

const std::vector<FlsEntry> kVolume = Fls({
    "r/r 0-128-1:\t$MFT",
    "r/r 9-128-8:\t$Secure:$SDS",
    "d/d 64-144-2:\tdocs",
    "r/r 65-128-2:\tdocs/a.txt",
    "r/r 65-128-4:\tdocs/a.txt:zone",
    "r/r 65-128-2:\tdocs/b.txt",
    "r/r 66-128-2:\tdocs/Long Name.txt",
    "-/r * 67-128-2:\tdocs/gone.txt",
    "V/V 80:\t$OrphanFiles",
    "-/r * 16:\t$OrphanFiles/OrphanFile-16",
});

RecordNames DosNameOf66() {
  return [](uint64_t record) {
    std::vector<FileNameOfRecord> names;
    if (record == 66) names = {{"Long Name.txt", 64}, {"LONGNA~1.TXT", 64}};
    return names;
  };
}

TEST(ListingComparison, AcceptsAnyNameOfARecordOnce) {
  const std::string listing =
      "Path\nD:\\$MFT\nD:\\$Secure\nD:\\.\nD:\\docs\nD:\\docs\\b.txt\nD:\\docs\\Long Name.txt\n";
  const ListingComparison result = CompareListing(listing, "D:", kVolume, nullptr);
  EXPECT_TRUE(result.matches) << result.report;
}

// A record in no index is found under its own name; a record that fls names
// must be printed under one of fls's names, never its DOS alias.
TEST(ListingComparison, LooksUpOnlyTheNamesOfRecordsInNoIndex) {
  std::vector<FlsEntry> volume = kVolume;
  volume.push_back(Fls({"r/r 70-128-2:\t$OrphanFiles/OrphanFile-70"}).front());
  const RecordNames names = [](uint64_t record) {
    std::vector<FileNameOfRecord> found = DosNameOf66()(record);
    if (record == 70) found = {{"lost.txt", 64}};
    return found;
  };
  const std::string listing =
      "Path\nD:\\$MFT\nD:\\$Secure\nD:\\.\nD:\\docs\nD:\\docs\\a.txt\nD:\\docs\\lost.txt\n";
  EXPECT_TRUE(CompareListing(listing + "D:\\docs\\Long Name.txt\n", "D:", volume, names).matches);
  EXPECT_FALSE(CompareListing(listing, "D:", volume, nullptr).matches);
  EXPECT_FALSE(CompareListing(listing + "D:\\docs\\LONGNA~1.TXT\n", "D:", volume, names).matches);
}

TEST(ListingComparison, ReportsEachKindOfDifference) {
  struct Case {
    const char* name;
    const char* listing;
    const char* reported;
  };
  const Case cases[] = {
      {"missing record", "D:\\$MFT\nD:\\$Secure\nD:\\.\nD:\\docs\nD:\\docs\\a.txt\n",
       "record 66: D:\\docs\\Long Name.txt"},
      {"deleted file printed",
       "D:\\$MFT\nD:\\$Secure\nD:\\.\nD:\\docs\nD:\\docs\\a.txt\nD:\\docs\\Long Name.txt\n"
       "D:\\docs\\gone.txt\n",
       "  D:\\docs\\gone.txt"},
      {"record printed twice",
       "D:\\$MFT\nD:\\$Secure\nD:\\.\nD:\\docs\nD:\\docs\\a.txt\nD:\\docs\\b.txt\n"
       "D:\\docs\\Long Name.txt\n",
       "printed twice"},
      {"stream printed as a file",
       "D:\\$MFT\nD:\\$Secure\nD:\\.\nD:\\docs\nD:\\docs\\a.txt\nD:\\docs\\Long Name.txt\n"
       "D:\\docs\\a.txt:zone\n",
       "a.txt:zone"},
  };
  for (const Case& c : cases) {
    const ListingComparison result = CompareListing(c.listing, "D:", kVolume, DosNameOf66());
    EXPECT_FALSE(result.matches) << c.name;
    EXPECT_NE(result.report.find(c.reported), std::string::npos) << c.name << "\n" << result.report;
  }
}

}  // namespace
}  // namespace skerry::e2e
