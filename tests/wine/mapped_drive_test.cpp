// A disk image given on skerry.exe's command line by its Windows path
// (d:=Z:\...\disk.img@P): opened like a disk, with no device-number query, so
// every partition is reachable under Wine, the logical ones too.

#include <filesystem>
#include <string>
#include <vector>

#include "device_directory.h"
#include "test_disks.h"
#include "wine_test.h"

namespace skerry::wine {
namespace {

// Wine's drive Z: is the Linux root.
std::string WindowsPath(const std::string& linuxPath) {
  std::string path = "Z:" + std::filesystem::absolute(linuxPath).string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

class MappedDriveTest : public WineTest {};

TEST_F(MappedDriveTest, ListsAnImageGivenByItsWindowsPath) {
  const e2e::TestDisk disk = e2e::BuildTestDisk("mbr-extended");
  const e2e::DeviceDirectory noDevices;
  for (const char* partition : {"1", "4"}) {
    SCOPED_TRACE(partition);
    const ProcessResult windowsRun =
        RunWindows({"-S", "d:=" + WindowsPath(disk.image) + "@" + partition});
    const ProcessResult linuxRun =
        RunLinux(noDevices.path(), {"-S", "d:=" + disk.image + "@" + partition});
    ASSERT_EQ(linuxRun.status, 0) << linuxRun.err;
    EXPECT_EQ(windowsRun.status, 0) << windowsRun.err;
    EXPECT_EQ(SortedLines(windowsRun.out), SortedLines(linuxRun.out));
  }
  // Several NTFS volumes without @P: the same list of them on both sides.
  const ProcessResult windowsRun = RunWindows({"d:=" + WindowsPath(disk.image)});
  const ProcessResult linuxRun = RunLinux(noDevices.path(), {"d:=" + disk.image});
  EXPECT_EQ(windowsRun.status, 87);
  EXPECT_EQ(linuxRun.status, 87);
  const size_t list = windowsRun.err.find("\n  @1  ");
  ASSERT_NE(list, std::string::npos) << windowsRun.err;
  EXPECT_EQ(windowsRun.err.substr(list), linuxRun.err.substr(linuxRun.err.find("\n  @1  ")));
}

}  // namespace
}  // namespace skerry::wine
