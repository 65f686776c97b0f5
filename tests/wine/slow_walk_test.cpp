// The slow walk (-z) of skerry.exe under Wine over a directory mapped as x: in
// the prefix's dosdevices, which the Linux build reads as its device
// directory too: both must find the same files. The order of a directory's
// entries is the file system's on both, but Wine's need not be Linux's, so
// the lines compare as sets.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e_environment.h"
#include "wine_test.h"

namespace skerry::wine {
namespace {

namespace fs = std::filesystem;

constexpr char kSmile[] = "x:\\names\\\xF0\x9F\x98\x80 smile.txt";  // 😀, beyond 16 bits
constexpr char kJapanese[] = "x:\\names\\\xE6\x97\xA5\xE6\x9C\xAC.txt";
constexpr uintmax_t kBeyond32Bits = 5ull << 30;

class SlowWalkTest : public WineTest {
 protected:
  void SetUp() override {
    WineTest::SetUp();
    if (IsSkipped()) return;
    const fs::path parent = fs::path(e2e::kWorkDirectory) / "wine";
    fs::create_directories(parent);
    std::string pattern = (parent / "tree-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + pattern);
    tree_ = pattern;
    for (const char* file :
         {"a.txt", ".dot.txt", "sub/b.txt", "sub/deeper/c.log", "names/caf\xC3\xA9.txt",
          "names/\xE6\x97\xA5\xE6\x9C\xAC.txt", "names/\xF0\x9F\x98\x80 smile.txt"}) {
      Write(file, 100);
    }
    // Sparse: a size that needs the high 32 bits of the enumeration's size.
    Write("sub/huge.bin", 0);
    fs::resize_file(tree_ / "sub/huge.bin", kBeyond32Bits);
    fs::create_directories(tree_ / "empty");
    // A link back to the root: neither build enters it (nor reports a loop).
    fs::create_directory_symlink(tree_, tree_ / "sub" / "back");
    mappings_.MapDirectory('x', tree_.string());
  }

  void TearDown() override {
    std::error_code ignored;
    if (!tree_.empty()) fs::remove_all(tree_, ignored);
  }

  void Write(const std::string& relative, size_t bytes) {
    const fs::path file = tree_ / relative;  // Linux paths are bytes: UTF-8 as written
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << std::string(bytes, 'x');
  }

  fs::path tree_;
  PrefixMappings mappings_;
};

TEST_F(SlowWalkTest, FindsWhatTheLinuxBuildFinds) {
  const std::vector<std::vector<std::string>> cases = {
      {"-z", "x:\\"},
      {"-z", "-f", "*.txt", "x:\\"},
      {"-z", "-!f", "*.txt", "x:\\"},
      {"-z", "-s", "4294967296", "x:\\"},
      {"-z", "-s", "-200", "x:\\"},
      {"-z", "x:\\sub\\*.txt"},
      {"-z", "x:\\names\\"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    std::string shown;
    for (const std::string& argument : arguments) shown += " " + argument;
    SCOPED_TRACE("skerry" + shown);
    const ProcessResult linuxRun = RunLinux(PrefixDevices(), arguments);
    const ProcessResult windowsRun = RunWindows(arguments);
    EXPECT_EQ(windowsRun.status, linuxRun.status);
    EXPECT_EQ(windowsRun.err, linuxRun.err);
    EXPECT_FALSE(linuxRun.out.empty());
    const std::vector<std::string> linuxLines = SortedLines(linuxRun.out);
    const std::vector<std::string> windowsLines = SortedLines(windowsRun.out);
    EXPECT_EQ(windowsLines, linuxLines) << LineDifference(linuxLines, windowsLines);
  }
}

// Sets that agree could still both be wrong in the same way.
TEST_F(SlowWalkTest, NamesArriveAsUtf8AndSizesBeyond32Bits) {
  const ProcessResult all = RunWindows({"-z", "x:\\names\\"});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(SortedLines(all.out),
            (std::vector<std::string>{"x:\\names\\caf\xC3\xA9.txt", kJapanese, kSmile}));

  const ProcessResult large = RunWindows({"-z", "-s", "4294967296", "x:\\"});
  EXPECT_EQ(large.out, "x:\\sub\\huge.bin\n");
}

}  // namespace
}  // namespace skerry::wine
