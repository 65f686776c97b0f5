// The MFT listing and the query report (-Q) of skerry.exe under Wine against
// the Linux build's, on the builder's disks and Debian's NTFS sample. The disk
// is physicaldrive1 for both; Wine reaches only its first partition (see
// PrefixMappings), which is where these disks keep their NTFS volume.

#include <string>
#include <vector>

#include "device_directory.h"
#include "test_disks.h"
#include "wine_test.h"

namespace skerry::wine {
namespace {

struct Disk {
  const char* name;
  bool debianSample;  // else a description in tools/disks
};

class ListingTest : public WineTest, public testing::WithParamInterface<Disk> {
 protected:
  void SetUp() override {
    WineTest::SetUp();
    if (IsSkipped()) return;
    if (GetParam().debianSample) {
      image_ = e2e::ForensicsSample(GetParam().name);
      if (image_.empty()) GTEST_SKIP() << "forensics-samples-ntfs is not installed";
    } else {
      image_ = e2e::BuildTestDisk(GetParam().name).image;
    }
    linuxDevices_.AddDisk(1, image_);
    linuxDevices_.MapDrive('d', 1, 1);
    mappings_.MapDiskAsDriveD(image_);
  }

  std::string image_;
  e2e::DeviceDirectory linuxDevices_;
  PrefixMappings mappings_;
};

TEST_P(ListingTest, ListsTheLinesOfTheLinuxBuild) {
  const std::vector<std::vector<std::string>> cases = {
      {"d:"},
      {"-ISTD#", "d:"},
      {"-V", "-s", "1000", "d:"},
      {"-A=h", "d:"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    std::string shown;
    for (const std::string& argument : arguments) shown += " " + argument;
    SCOPED_TRACE("skerry" + shown);
    const ProcessResult linuxRun = RunLinux(linuxDevices_.path(), arguments);
    const ProcessResult windowsRun = RunWindows(arguments);
    ASSERT_EQ(linuxRun.status, 0) << linuxRun.err;
    EXPECT_EQ(windowsRun.status, 0) << windowsRun.err;
    EXPECT_EQ(windowsRun.err, "");
    const std::vector<std::string> linuxLines = SortedLines(linuxRun.out);
    const std::vector<std::string> windowsLines = SortedLines(windowsRun.out);
    if (arguments.size() == 1) {
      EXPECT_GT(linuxLines.size(), 10u) << "too few files";
    }
    EXPECT_EQ(windowsLines, linuxLines) << LineDifference(linuxLines, windowsLines);
  }
}

TEST_P(ListingTest, QueryReportIsTheLinuxBuilds) {
  const ProcessResult linuxRun = RunLinux(linuxDevices_.path(), {"-Q", "d:"});
  const ProcessResult windowsRun = RunWindows({"-Q", "d:"});
  ASSERT_EQ(linuxRun.status, 0) << linuxRun.err;
  EXPECT_EQ(windowsRun.status, 0) << windowsRun.err;
  EXPECT_EQ(windowsRun.out, linuxRun.out);
}

INSTANTIATE_TEST_SUITE_P(Disks, ListingTest,
                         testing::Values(Disk{"sample", false}, Disk{"edge-names", false},
                                         Disk{"fragmented-mft", false}, Disk{"fs.ntfs", true}),
                         [](const testing::TestParamInfo<Disk>& disk) {
                           std::string name = disk.param.name;
                           std::erase_if(name, [](char c) { return c == '-' || c == '.'; });
                           return name;
                         });

// Names outside ASCII, those beyond 16 bits included, reach a redirected
// output as UTF-8, not as UTF-16 or in a code page.
using RedirectedOutputTest = WineTest;

TEST_F(RedirectedOutputTest, NamesOutsideAsciiArriveAsUtf8) {
  const e2e::TestDisk disk = e2e::BuildTestDisk("edge-names");
  PrefixMappings mappings;
  mappings.MapDiskAsDriveD(disk.image);
  const ProcessResult run = RunWindows({"d:"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* expected : {
           "D:\\names\\caf\xC3\xA9.txt",
           "D:\\names\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA1"
           "\xE3\x82\xA4\xE3\x83\xAB.txt",           // 日本語のファイル.txt
           "D:\\names\\\xF0\x9F\x98\x80 smile.txt",  // 😀
           "D:\\names\\\xC3\x9C"
           "n\xC3\xAF"
           "c\xC3\xB6"
           "d\xC3\xA9"
           "-dir\\inner.txt",  // Ünïcödé-dir
       }) {
    EXPECT_NE(run.out.find(std::string(expected) + "\n"), std::string::npos)
        << expected << " is not in\n"
        << run.out;
  }
}

}  // namespace
}  // namespace skerry::wine
