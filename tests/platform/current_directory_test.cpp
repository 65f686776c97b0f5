#ifndef _WIN32

#include "platform/current_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/scoped_environment.h"
#include "platform/scratch_directory.h"
#include "platform/text.h"

namespace skerry {
namespace {

namespace fs = std::filesystem;

class CurrentDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    root_ = fs::canonical(scratch_.path()) / "volume";
    fs::create_directories(root_ / "docs" / "sub");
    fs::create_directory(scratch_ / "dosdevices");
    fs::create_directory_symlink(root_, scratch_ / "dosdevices" / "d:");
    environment_.Set("SKERRY_DOSDEVICES", (scratch_ / "dosdevices").string());
  }
  void TearDown() override { fs::current_path(saved_); }

  testing::ScratchDirectory scratch_;
  testing::ScopedEnvironment environment_;
  fs::path saved_;
  fs::path root_;
};

TEST_F(CurrentDirectoryTest, PathOnTheDriveThatHoldsTheWorkingDirectory) {
  fs::current_path(root_ / "docs" / "sub");
  EXPECT_EQ(GetCurrentDirectoryPath(), u"D:\\docs\\sub");
  fs::current_path(root_);
  EXPECT_EQ(GetCurrentDirectoryPath(), u"D:\\");
}

TEST_F(CurrentDirectoryTest, DeepestRootWinsOverARootOfEverything) {
  fs::create_directory_symlink("/", scratch_ / "dosdevices" / "z:");
  fs::current_path(root_ / "docs");
  EXPECT_EQ(GetCurrentDirectoryPath(), u"D:\\docs");
  fs::current_path(scratch_.path());
  std::u16string expected = u"Z:" + Utf8ToUtf16(fs::canonical(scratch_.path()).string());
  for (char16_t& c : expected) c = c == u'/' ? u'\\' : c;
  EXPECT_EQ(GetCurrentDirectoryPath(), expected);
}

TEST_F(CurrentDirectoryTest, OutsideEveryDriveTheNativePath) {
  fs::current_path(scratch_.path());
  EXPECT_EQ(GetCurrentDirectoryPath(), Utf8ToUtf16(fs::canonical(scratch_.path()).string()));
  // A sibling whose name merely begins like the root is not inside it.
  fs::create_directory(scratch_ / "volume2");
  fs::current_path(scratch_ / "volume2");
  EXPECT_EQ(GetCurrentDirectoryPath(), Utf8ToUtf16(fs::canonical(scratch_ / "volume2").string()));
}

}  // namespace
}  // namespace skerry

#endif  // _WIN32
