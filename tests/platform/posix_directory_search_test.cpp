// The Linux enumeration behind FindFirstFileW's semantics, on real directories
// mapped as drive x: of a scratch device directory.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/directory_search.h"
#include "platform/scratch_directory.h"
#include "platform/text.h"

namespace skerry {
namespace {

namespace fs = std::filesystem;

class PosixDirectorySearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(scratch / "devs");
    fs::create_directories(scratch / "tree");
    fs::create_directory_symlink(scratch / "tree", scratch / "devs" / "x:");
    const char* previous = std::getenv("SKERRY_DOSDEVICES");
    if (previous != nullptr) savedDevices_ = previous, hadDevices_ = true;
    setenv("SKERRY_DOSDEVICES", (scratch / "devs").c_str(), 1);
  }
  void TearDown() override {
    if (hadDevices_) {
      setenv("SKERRY_DOSDEVICES", savedDevices_.c_str(), 1);
    } else {
      unsetenv("SKERRY_DOSDEVICES");
    }
  }

  fs::path Tree() const { return scratch / "tree"; }

  // Every entry of a search, or the code of its failure.
  std::vector<FindData> List(const std::u16string& searchName, ErrorCode* failure = nullptr) {
    std::vector<FindData> entries;
    FindData data;
    ErrorCode code = kErrorSuccess;
    auto enumeration = SystemDirectorySearch().FindFirst(searchName, data, code);
    if (failure != nullptr) *failure = enumeration ? kErrorSuccess : code;
    if (!enumeration) return entries;
    do {
      entries.push_back(data);
    } while (enumeration->Next(data));
    return entries;
  }
  static std::vector<std::u16string> Names(const std::vector<FindData>& entries) {
    std::vector<std::u16string> names;
    for (const FindData& entry : entries) names.push_back(entry.name);
    return names;
  }
  static const FindData* Find(const std::vector<FindData>& entries, std::u16string_view name) {
    for (const FindData& entry : entries) {
      if (entry.name == name) return &entry;
    }
    return nullptr;
  }

  testing::ScratchDirectory scratch;

 private:
  std::string savedDevices_;
  bool hadDevices_ = false;
};

TEST_F(PosixDirectorySearchTest, DotEntriesComeFirstExceptInADriveRoot) {
  fs::create_directory(Tree() / "sub");
  scratch.WriteFile("tree/sub/file", "x");

  std::vector<std::u16string> root = Names(List(u"x:\\*"));
  EXPECT_EQ(root, std::vector<std::u16string>{u"sub"});
  EXPECT_EQ(Names(List(u"X:\\*")), root) << "the drive letter is not case-sensitive";

  std::vector<std::u16string> sub = Names(List(u"x:\\sub\\*"));
  EXPECT_EQ(sub, (std::vector<std::u16string>{u".", u"..", u"file"}));
}

TEST_F(PosixDirectorySearchTest, FailuresCarryWindowsCodes) {
  scratch.WriteFile("tree/plain", "x");
  fs::create_directory(scratch / "empty");
  fs::create_directory_symlink(scratch / "empty", scratch / "devs" / "y:");
  struct Case {
    std::u16string searchName;
    ErrorCode code;
  };
  const Case cases[] = {
      {u"x:\\missing\\*", kErrorPathNotFound}, {u"x:\\plain\\*", kErrorPathNotFound},
      {u"q:\\*", kErrorPathNotFound},  // no such drive
      {u"y:\\*", kErrorFileNotFound},  // an empty drive root, as Windows says it
      {u"x:", kErrorInvalidParameter},
  };
  for (const Case& c : cases) {
    ErrorCode code = kErrorSuccess;
    EXPECT_TRUE(List(c.searchName, &code).empty());
    EXPECT_EQ(code, c.code) << Utf16ToUtf8(c.searchName);
  }
}

TEST_F(PosixDirectorySearchTest, EntriesCarryTypeSizeAndTime) {
  fs::create_directory(Tree() / "dir");
  scratch.WriteFile("tree/small", "12345");
  // 2013-09-02 00:00:00 UTC and 1.2345 ms: 130225536000000000 + 12345 ticks.
  const timespec times[2] = {{1378080000, 1234500}, {1378080000, 1234500}};
  ASSERT_EQ(utimensat(AT_FDCWD, (Tree() / "small").c_str(), times, 0), 0);
  {
    // Sparse, above 4 GiB: the high half of the size must survive.
    int fd = open((Tree() / "huge").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{5} << 30), 0);
    close(fd);
  }

  std::vector<FindData> entries = List(u"x:\\*");
  const FindData* dir = Find(entries, u"dir");
  const FindData* small = Find(entries, u"small");
  const FindData* huge = Find(entries, u"huge");
  ASSERT_TRUE(dir && small && huge);
  EXPECT_EQ(dir->attributes & kFileAttributeDirectory, kFileAttributeDirectory);
  EXPECT_EQ(dir->size, 0u);
  EXPECT_EQ(small->attributes & kFileAttributeDirectory, 0u);
  EXPECT_EQ(small->size, 5u);
  EXPECT_EQ(small->lastWriteTime, 130225536000012345ull);
  EXPECT_EQ(huge->size, 5ull << 30);
}

TEST_F(PosixDirectorySearchTest, LinksReportWhatTheyLeadTo) {
  fs::create_directory(Tree() / "real");
  scratch.WriteFile("tree/real/inside", "abc");
  fs::create_directory_symlink(Tree() / "real", Tree() / "to-dir");
  fs::create_symlink(Tree() / "real" / "inside", Tree() / "to-file");
  fs::create_symlink(Tree() / "nothing", Tree() / "dangling");

  std::vector<FindData> entries = List(u"x:\\*");
  const FindData* toDir = Find(entries, u"to-dir");
  const FindData* toFile = Find(entries, u"to-file");
  const FindData* dangling = Find(entries, u"dangling");
  ASSERT_TRUE(toDir && toFile && dangling);
  EXPECT_EQ(toDir->attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint),
            kFileAttributeDirectory | kFileAttributeReparsePoint);
  EXPECT_EQ(toFile->attributes & kFileAttributeDirectory, 0u);
  EXPECT_EQ(toFile->size, 3u);
  EXPECT_EQ(dangling->attributes & kFileAttributeDirectory, 0u);

  // A link and its target are the same directory.
  DirectoryIdentity viaLink, direct;
  FindData data;
  ErrorCode code = kErrorSuccess;
  auto link = SystemDirectorySearch().FindFirst(u"x:\\to-dir\\*", data, code);
  auto real = SystemDirectorySearch().FindFirst(u"x:\\real\\*", data, code);
  ASSERT_TRUE(link && real);
  ASSERT_TRUE(link->Identify(viaLink) && real->Identify(direct));
  EXPECT_EQ(viaLink, direct);
  auto root = SystemDirectorySearch().FindFirst(u"x:\\*", data, code);
  DirectoryIdentity rootIdentity;
  ASSERT_TRUE(root && root->Identify(rootIdentity));
  EXPECT_FALSE(rootIdentity == direct);
}

TEST_F(PosixDirectorySearchTest, NamesRoundTripWhateverTheirBytes) {
  // Non-ASCII UTF-8, a byte that is not UTF-8, and a backslash inside a name:
  // each can be listed and then entered by the name the listing gave.
  const std::string names[] = {"d\xC3\xA9j\xC3\xA0 \xE6\x97\xA5\xE8\xA8\x98 \xF0\x9F\x98\x80",
                               "latin1-\xE9", "back\\slash"};
  for (const std::string& name : names) {
    fs::create_directory(Tree() / name);
    scratch.WriteFile("tree/" + name + "/leaf", "x");
  }
  std::vector<FindData> root = List(u"x:\\*");
  ASSERT_EQ(root.size(), 3u);
  for (const FindData& entry : root) {
    std::vector<std::u16string> inside = Names(List(u"x:\\" + entry.name + u"\\*"));
    EXPECT_EQ(inside, (std::vector<std::u16string>{u".", u"..", u"leaf"}))
        << Utf16ToUtf8(entry.name);
  }
  EXPECT_NE(Find(root, u"d\u00E9j\u00E0 \u65E5\u8A18 \U0001F600"), nullptr);
}

TEST_F(PosixDirectorySearchTest, PathsLongerThanTheSystemLimit) {
  // Built a level at a time, relative to the last, as no single path could be.
  const std::string level(200, 'd');
  int fd = open(Tree().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  const std::u16string wideLevel = Widen(level);
  std::u16string searchDirectory = u"x:";
  for (int i = 0; i < 25; ++i) {  // about 5,000 bytes
    ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
    int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    ASSERT_GE(next, 0);
    fd = next;
    searchDirectory += u'\\';
    searchDirectory += wideLevel;
  }
  int leaf = openat(fd, "leaf", O_CREAT | O_WRONLY, 0644);
  close(leaf);
  close(fd);
  ASSERT_GT(searchDirectory.size(), 4096u);
  EXPECT_EQ(Names(List(searchDirectory + u"\\*")),
            (std::vector<std::u16string>{u".", u"..", u"leaf"}));
}

TEST_F(PosixDirectorySearchTest, PathsWithoutADriveAreLinuxPaths) {
  scratch.WriteFile("tree/here", "x");
  std::u16string rooted = Utf8ToUtf16(Tree().string());
  for (char16_t& c : rooted) {
    if (c == u'/') c = u'\\';
  }
  EXPECT_EQ(Names(List(rooted + u"\\*")), (std::vector<std::u16string>{u".", u"..", u"here"}));
}

}  // namespace
}  // namespace skerry

#endif  // _WIN32
