// The slow walk (-z) of the built program over a real directory tree mapped as
// drive x:, checked against what find(1) finds in the same tree.

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device_directory.h"
#include "e2e_environment.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "process_runner.h"

namespace skerry {
namespace {

namespace fs = std::filesystem;
using e2e::ProcessResult;
using e2e::SplitLines;

class DirectoryWalkEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Tree());
    fs::create_directory_symlink(Tree(), fs::path(devices.path()) / "x:");
  }

  // Inside the device directory, so that it goes with it.
  fs::path Tree() const { return fs::path(devices.path()) / "tree"; }

  void Write(const std::string& relative, size_t bytes) {
    fs::path file = Tree() / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << std::string(bytes, 'x');
  }

  // Runs the program on this test's device directory; `wrapper` runs it
  // through another program (setpriv), and `merge` sends both streams to
  // standard output, so that their order shows.
  ProcessResult Run(const std::vector<std::string>& args, bool merge = false,
                    const std::vector<std::string>& wrapper = {}) {
    std::vector<std::string> argv;
    if (merge) argv = {"sh", "-c", "exec \"$@\" 2>&1", "sh"};
    argv.insert(argv.end(), wrapper.begin(), wrapper.end());
    argv.push_back(e2e::kSkerryBinary);
    argv.insert(argv.end(), args.begin(), args.end());
    return e2e::RunProcess(argv, {{"SKERRY_DOSDEVICES", devices.path()}});
  }

  // The files that find(1) lists below the tree with `tests`, as the walk
  // prints them: x:, then the path with backslashes, in find's order.
  std::vector<std::string> Find(const std::string& tests, const std::string& types = "-type f") {
    std::string command = "find '" + Tree().string() + "' " + types + " " + tests +
                          " ! -path '*/.-old/*' ! -path '*/.#tmp/*'";
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    pclose(pipe);
    const std::string prefix = Tree().string();
    for (std::string line : SplitLines(text)) {
      line.replace(0, prefix.size(), "x:");
      std::replace(line.begin(), line.end(), '/', '\\');
      lines.push_back(line);
    }
    return lines;
  }

  // A tree with the cases a walk must get right: nested directories, .git,
  // the skipped .-old and .#tmp, names outside ASCII, a path beyond 260
  // characters, a sparse file above 4 GiB and a file a month old.
  void BuildTree() {
    Write("top.txt", 10);
    Write("a.log", 2000);
    Write("sub/b.log", 2000);
    Write("sub/deep/c.txt", 5);
    Write(".git/config", 3);
    Write(".git/objects/pack.idx", 4);
    Write(".-old/stale.txt", 1);
    Write(".#tmp/lock.txt", 1);
    Write(
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt",
        8);
    Write("caf\xC3\xA9.log", 1500);
    const std::string longName(100, 'L');
    Write(longName + "/" + longName + "/" + longName + "/long.txt", 7);
    fs::create_directory(Tree() / "empty");
    {
      std::ofstream(Tree() / "big.bin");
      fs::resize_file(Tree() / "big.bin", uint64_t{5} << 30);
    }
    Write("old.txt", 50);
    fs::last_write_time(Tree() / "old.txt",
                        fs::file_time_type::clock::now() - std::chrono::hours(24 * 30));
  }

  e2e::DeviceDirectory devices;
};

TEST_F(DirectoryWalkEndToEnd, ListsWhatFindFindsInTheSameOrder) {
  BuildTree();
  ProcessResult result = Run({"-z", "x:"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  std::vector<std::string> lines = SplitLines(result.out);
  EXPECT_EQ(lines, Find(""));

  // Spot checks that do not lean on find.
  auto printed = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(printed("x:\\.git\\objects\\pack.idx"));
  EXPECT_FALSE(printed("x:\\.-old\\stale.txt"));
  EXPECT_FALSE(printed("x:\\.#tmp\\lock.txt"));
  EXPECT_TRUE(printed("x:\\caf\xC3\xA9.log"));
  const std::string longName(100, 'L');
  EXPECT_TRUE(printed("x:\\" + longName + "\\" + longName + "\\" + longName + "\\long.txt"));
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("\\\\"), std::string::npos) << line;
    EXPECT_EQ(line.find('/'), std::string::npos) << line;
  }
}

TEST_F(DirectoryWalkEndToEnd, FiltersNarrowTheWalkAsTheyNarrowTheListing) {
  BuildTree();
  struct Case {
    std::vector<std::string> args;
    std::string findTests;
  };
  const Case cases[] = {
      {{"-z", "x:\\*.log"}, "-name '*.log'"},
      {{"-z", "-s", "1000", "x:"}, "-size +1000c"},  // the sparse 5 GiB file among them
      {{"-z", "-s", "-6", "x:"}, "-size -6c"},
      {{"-z", "-t", "-1", "x:"}, "-mmin -1440"},
      {{"-z", "-t", "7", "x:"}, "-mtime +7"},
      // A Linux file has one data stream: not fewer than one.
      {{"-z", "-!d", "-1", "x:"}, ""},
  };
  for (const Case& c : cases) {
    ProcessResult result = Run(c.args);
    EXPECT_EQ(result.status, 0) << c.findTests;
    std::vector<std::string> expected = Find(c.findTests);
    EXPECT_FALSE(expected.empty()) << c.findTests;
    EXPECT_EQ(SplitLines(result.out), expected) << c.findTests;
  }
}

TEST_F(DirectoryWalkEndToEnd, StartsInTheDirectoryTheArgumentNames) {
  Write("docs/a.txt", 1);
  Write("docs/c.log", 1);
  Write("docs/inner/b.txt", 1);
  Write("other/d.txt", 1);
  const std::string longName(120, 'L');
  const std::string longDirectory = longName + "\\" + longName + "\\" + longName;
  Write(longName + "/" + longName + "/" + longName + "/deep.txt", 1);
  struct Case {
    std::string argument;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      // The directory part selects the files of \docs itself, the name part
      // their names.
      {"x:\\docs\\*", {"x:\\docs\\a.txt", "x:\\docs\\c.log"}},
      {"x:\\docs\\*.txt", {"x:\\docs\\a.txt"}},
      // An argument far beyond 260 characters is taken whole.
      {"x:\\" + longDirectory + "\\*", {"x:\\" + longDirectory + "\\deep.txt"}},
  };
  for (const Case& c : cases) {
    ProcessResult result = Run({"-z", c.argument});
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> lines = SplitLines(result.out);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, c.lines);
  }
}

TEST_F(DirectoryWalkEndToEnd, UnreadableDirectoryIsReportedAndTheWalkGoesOn) {
  Write("locked/secret.txt", 1);
  Write("open/visible.txt", 1);
  fs::permissions(Tree() / "locked", fs::perms::none);
  // Root reads any directory; without these two capabilities it reads as a user.
  std::vector<std::string> wrapper;
  if (geteuid() == 0)
    wrapper = {"setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"};

  ProcessResult result = Run({"-z", "x:"}, true, wrapper);
  fs::permissions(Tree() / "locked", fs::perms::owner_all);
  EXPECT_EQ(result.status, int(kErrorAccessDenied));
  const std::string failure = "Error " + Utf16ToUtf8(GetErrorText(kErrorAccessDenied)) +
                              "\nFailed to open directory x:\\locked\\*\n";
  EXPECT_NE(result.out.find(failure), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("x:\\open\\visible.txt\n"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("secret"), std::string::npos);
  EXPECT_EQ(SplitLines(result.out).size(), SplitLines(failure).size() + 1);
}

// Links to directories are not followed, as find does without -L: a link to
// the host's root, to the parent and to a sibling print nothing, and a link
// to a file, or to nothing, is a file. x:\.. is the drive's root.
TEST_F(DirectoryWalkEndToEnd, LinksToDirectoriesAreNotFollowed) {
  Write("a/f.txt", 1);
  Write("g.txt", 1);
  fs::create_directory_symlink("/", Tree() / "host");
  fs::create_directory_symlink("..", Tree() / "a" / "up");
  fs::create_directory_symlink("a", Tree() / "sibling");
  fs::create_symlink("g.txt", Tree() / "file-link");
  fs::create_symlink("nowhere", Tree() / "dangling");

  ProcessResult result = Run({"-z", "x:"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  std::vector<std::string> lines = SplitLines(result.out);
  EXPECT_EQ(lines, Find("", "! -xtype d"));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"x:\\a\\f.txt", "x:\\dangling", "x:\\file-link",
                                             "x:\\g.txt"}));

  result = Run({"-z", "x:\\..\\*"});
  EXPECT_EQ(result.status, 0) << result.err;
  lines = SplitLines(result.out);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"x:\\..\\dangling", "x:\\..\\file-link",
                                             "x:\\..\\g.txt"}));
}

}  // namespace
}  // namespace skerry
