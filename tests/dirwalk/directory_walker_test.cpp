#include "dirwalk/directory_walker.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "dirwalk/fake_directory_search.h"
#include "filters/match.h"
#include "platform/text.h"

namespace skerry {
namespace {

using testing::FakeDirectorySearch;

// What a predicate was shown of one file.
struct Seen {
  std::u16string name;
  int64_t size = 0;
  uint64_t standardInfoModified = 0;
  uint64_t fileNameModified = 0;
  std::u16string path;
  uint32_t streams = 0;
};

class Recorder final : public Match {
 public:
  Recorder(std::vector<Seen>& seen, std::function<bool(const Seen&)> verdict)
      : Match(true), seen_(seen), verdict_(std::move(verdict)) {}

  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) const override {
    Seen file;
    for (size_t i = 0; i < NameLength(fileName); ++i) file.name.push_back(NameUnit(fileName, i));
    EXPECT_EQ(NameUnit(fileName, NameLength(fileName)), u'\0');
    file.size = DataSize(fileName);
    file.standardInfoModified = ModificationTime(standardInfo);
    file.fileNameModified = ByteView(fileName.data(), fileName.size()).le64(kFnModified);
    file.path = record.DirectoryPath();
    file.streams = record.DataStreamCount();
    seen_.push_back(file);
    return verdict_(file);
  }

 private:
  std::vector<Seen>& seen_;
  std::function<bool(const Seen&)> verdict_;
};

bool All(const Seen&) { return true; }

class DirectoryWalkerTest : public ::testing::Test {
 protected:
  // Walks `start` with everything written to one stream, as the program's
  // tied output and error streams show it.
  std::wstring Walk(const std::u16string& start) {
    DirectoryWalker walker(settings, out, out, search);
    walker.path = start;
    walker.Walk();
    error = walker.error;
    return out.str();
  }
  void AddRecordFilter(std::function<bool(const Seen&)> verdict) {
    settings.recordFilter->Append(Ref<Match>::Make<Recorder>(recordSeen, std::move(verdict)));
  }
  void AddDirectoryFilter(std::function<bool(const Seen&)> verdict) {
    settings.directoryFilter->Append(Ref<Match>::Make<Recorder>(directorySeen, std::move(verdict)));
  }
  std::wstring OpenFailure(ErrorCode code, const std::u16string& searchName) {
    return L"Error " + ToWide(GetErrorText(code)) + L"\nFailed to open directory " +
           ToWide(searchName) + L"\n";
  }

  ScanSettings settings;
  FakeDirectorySearch search;
  std::wostringstream out;
  ErrorCode error = kErrorSuccess;
  std::vector<Seen> recordSeen;
  std::vector<Seen> directorySeen;
};

TEST(DirectoryNameTest, EntersNamesThatAreNotSpecialEntries) {
  struct Case {
    std::u16string name;
    bool walked;
  };
  const Case cases[] = {
      {u"docs", true},        {u".", false},  {u"..", false},      {u".git", true},
      {u".9", true},          {u".Z", true},  {u".-old", false},   {u".#tmp", false},
      {u"._x", false},        {u". ", false}, {u".\u00E9", false},  // Latin-1 is not ASCII
      {u".\u65E5", true},                                           // above U+00FF: a letter
      {u".\U0001F600", true},                                       // a surrogate pair
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWalkedDirectoryName(c.name), c.walked) << Utf16ToUtf8(c.name);
  }
}

TEST_F(DirectoryWalkerTest, PrintsFilesDepthFirstInEnumerationOrder) {
  search.AddFile(u"x:", u"a.txt");
  search.AddSubdirectory(u"x:", u"sub");
  search.AddFile(u"x:", u"z.txt");
  search.AddSubdirectory(u"x:\\sub", u".");
  search.AddSubdirectory(u"x:\\sub", u"..");
  search.AddFile(u"x:\\sub", u"b.txt");
  search.AddSubdirectory(u"x:\\sub", u"deep");
  search.AddFile(u"x:\\sub", u"c.txt");
  search.AddSubdirectory(u"x:\\sub\\deep", u".");
  search.AddSubdirectory(u"x:\\sub\\deep", u"..");
  search.AddFile(u"x:\\sub\\deep", u"d.txt");

  EXPECT_EQ(Walk(u"x:"),
            L"x:\\a.txt\n"
            L"x:\\sub\\b.txt\n"
            L"x:\\sub\\deep\\d.txt\n"
            L"x:\\sub\\c.txt\n"
            L"x:\\z.txt\n");
  EXPECT_EQ(error, kErrorSuccess);
  EXPECT_EQ(search.searchNames,
            (std::vector<std::u16string>{u"x:\\*", u"x:\\sub\\*", u"x:\\sub\\deep\\*"}));
}

TEST_F(DirectoryWalkerTest, RecordFilterSeesTheFileAsTheMftLoaderWould) {
  const uint64_t fiveGiB = 5ull << 30;
  const uint64_t time = 130225536000000000ull;
  search.AddSubdirectory(u"x:", u"sub");
  search.AddFile(u"x:\\sub", u"big.bin", fiveGiB, time);
  search.AddFile(u"x:", u"small.txt", 12, time + 1);
  search.streamCounts[u"x:\\sub\\big.bin"] = 3;
  AddRecordFilter(All);

  Walk(u"x:");
  ASSERT_EQ(recordSeen.size(), 2u);
  const Seen& big = recordSeen[0];
  EXPECT_EQ(big.name, u"big.bin");
  EXPECT_EQ(big.size, int64_t(fiveGiB));
  EXPECT_EQ(big.standardInfoModified, time);
  EXPECT_EQ(big.fileNameModified, time);
  EXPECT_EQ(big.path, u"\\sub");
  EXPECT_EQ(big.streams, 3u);
  const Seen& small = recordSeen[1];
  EXPECT_EQ(small.name, u"small.txt");  // no trace of the longer name before it
  EXPECT_EQ(small.size, 12);
  EXPECT_EQ(small.path, u"");
  EXPECT_EQ(small.streams, 1u);
}

TEST_F(DirectoryWalkerTest, FiltersDecideWhatIsPrinted) {
  search.AddFile(u"x:", u"keep.log", 2000);
  search.AddFile(u"x:", u"small.log", 10);
  search.AddSubdirectory(u"x:", u"skip");
  search.AddFile(u"x:\\skip", u"hidden.log", 2000);
  AddDirectoryFilter([](const Seen& file) { return file.path != u"\\skip"; });
  AddRecordFilter([](const Seen& file) { return file.size > 1000; });

  EXPECT_EQ(Walk(u"x:"), L"x:\\keep.log\n");
  // The record filter is not asked about a file whose directory failed.
  EXPECT_EQ(recordSeen.size(), 2u);
  EXPECT_EQ(directorySeen.size(), 3u);
}

TEST_F(DirectoryWalkerTest, DirectoryFiltersSeeThePathWithoutTheDrive) {
  struct Case {
    std::u16string start;
    std::u16string subdirectory;
    std::u16string startSeen;
    std::u16string subdirectorySeen;
  };
  const Case cases[] = {
      {u"x:", u"x:\\sub", u"", u"\\sub"},
      {u"x:\\docs", u"x:\\docs\\sub", u"\\docs", u"\\docs\\sub"},
      // Without a drive designator the path is passed on as given.
      {u"docs", u"docs\\sub", u"docs", u"docs\\sub"},
      {u"", u"\\sub", u"", u"\\sub"},
  };
  for (const Case& c : cases) {
    FakeDirectorySearch fresh;
    fresh.AddFile(c.start, u"a");
    fresh.AddSubdirectory(c.start, u"sub");
    fresh.AddFile(c.subdirectory, u"b");
    fresh.AddFile(c.start, u"c");
    std::vector<Seen> seen;
    ScanSettings local;
    local.directoryFilter->Append(Ref<Match>::Make<Recorder>(seen, All));
    std::wostringstream sink;
    DirectoryWalker walker(local, sink, sink, fresh);
    walker.path = c.start;
    walker.Walk();
    ASSERT_EQ(seen.size(), 3u) << Utf16ToUtf8(c.start);
    EXPECT_EQ(seen[0].path, c.startSeen);
    EXPECT_EQ(seen[1].path, c.subdirectorySeen);
    EXPECT_EQ(seen[2].path, c.startSeen) << "restored after the subdirectory";
  }
}

TEST_F(DirectoryWalkerTest, UnreadableDirectoryIsReportedInOrderAndTheWalkGoesOn) {
  search.AddFile(u"x:", u"before.txt");
  search.AddSubdirectory(u"x:", u"locked");
  search.AddSubdirectory(u"x:", u"gone");
  search.AddFile(u"x:", u"after.txt");
  search.AddDirectory(u"x:\\locked").openError = kErrorAccessDenied;
  // x:\gone was never added: the fake answers "path not found".

  EXPECT_EQ(Walk(u"x:"), L"x:\\before.txt\n" + OpenFailure(kErrorAccessDenied, u"x:\\locked\\*") +
                             OpenFailure(kErrorPathNotFound, u"x:\\gone\\*") + L"x:\\after.txt\n");
  EXPECT_EQ(error, kErrorAccessDenied | kErrorPathNotFound) << "every failure's code counts";
}

TEST_F(DirectoryWalkerTest, StartDirectoryThatCannotBeOpened) {
  EXPECT_EQ(Walk(u"q:\\nowhere"), OpenFailure(kErrorPathNotFound, u"q:\\nowhere\\*"));
  EXPECT_EQ(error, kErrorPathNotFound);
}

TEST_F(DirectoryWalkerTest, DirectoryWithoutEntriesIsEmptyNotAnError) {
  search.AddDirectory(u"x:");
  EXPECT_EQ(Walk(u"x:"), L"");
  EXPECT_EQ(error, kErrorSuccess);
}

TEST_F(DirectoryWalkerTest, LoopBackIntoAnAncestorIsReportedOnceAndNotEntered) {
  search.AddSubdirectory(u"x:", u"a");
  search.AddFile(u"x:", u"top.txt");
  search.AddFile(u"x:\\a", u"inner.txt");
  search.AddSubdirectory(u"x:\\a", u"up");
  search.AddFile(u"x:\\a\\up", u"never");
  search.SameAs(u"x:\\a\\up", u"x:");

  EXPECT_EQ(Walk(u"x:"),
            L"x:\\a\\inner.txt\n"
            L"Skipping directory loop: x:\\a\\up\n"
            L"x:\\top.txt\n");
  EXPECT_EQ(error, kErrorCantResolveFilename);
}

// Junctions and links to directories are not entered and print nothing; a
// link to a file is a file; a directory that is a reparse point of another
// kind (a cloud placeholder, say) is an ordinary directory.
TEST_F(DirectoryWalkerTest, LinksToDirectoriesAreNotFollowed) {
  const uint32_t linkToDirectory = kFileAttributeDirectory | kFileAttributeReparsePoint;
  search.AddDirectory(u"x:").entries = {
      {linkToDirectory, 0, 0, u"junction", kReparseTagMountPoint},
      {linkToDirectory, 0, 0, u"symlink", kReparseTagSymlink},
      {linkToDirectory, 0, 0, u"untold", 0},
      {kFileAttributeReparsePoint, 0, 0, u"file-link", kReparseTagSymlink},
      {linkToDirectory, 0, 0, u"cloud", 0x9000701A},
  };
  for (const char16_t* link : {u"x:\\junction", u"x:\\symlink", u"x:\\untold"}) {
    search.AddFile(link, u"elsewhere.txt");
  }
  search.AddFile(u"x:\\cloud", u"synced.txt");

  EXPECT_EQ(Walk(u"x:"), L"x:\\file-link\nx:\\cloud\\synced.txt\n");
  EXPECT_EQ(error, kErrorSuccess);
  EXPECT_EQ(search.searchNames, (std::vector<std::u16string>{u"x:\\*", u"x:\\cloud\\*"}));
}

TEST_F(DirectoryWalkerTest, SecondPathToADirectoryIsNotALoop) {
  search.AddSubdirectory(u"x:", u"a");
  search.AddSubdirectory(u"x:", u"link");
  search.AddFile(u"x:\\a", u"f");
  search.AddFile(u"x:\\link", u"f");
  search.SameAs(u"x:\\link", u"x:\\a");
  EXPECT_EQ(Walk(u"x:"), L"x:\\a\\f\nx:\\link\\f\n");
}

}  // namespace
}  // namespace skerry
