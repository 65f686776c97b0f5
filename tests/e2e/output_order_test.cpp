// Output redirected to a file is written in blocks, not line by line; the
// error stream must still write out every line before its own, so that an
// "Error " line lands after the lines that came before it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "device_directory.h"
#include "e2e_environment.h"
#include "process_runner.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

namespace fs = std::filesystem;

TEST(RedirectedOutput, ErrorLineFollowsTheLinesWrittenBeforeIt) {
  const TestDisk disk = BuildTestDisk("sample");
  DeviceDirectory devices;
  devices.AddDisk(1, disk.image);
  devices.MapDrive('d', 1, 1);
  const ProcessResult listing = devices.RunSkerry({"d:"});
  ASSERT_EQ(listing.status, 0) << listing.err;
  ASSERT_GT(SplitLines(listing.out).size(), 10u);

  // Both streams into one file; q: names no drive, so its error comes after
  // every line of d:, and the file must show it there.
  const fs::path file = fs::path(kWorkDirectory) / "redirected-output.txt";
  const ProcessResult run =
      RunProcess({"/bin/sh", "-c", "exec \"$0\" d: q: >\"$SKERRY_TEST_OUT\" 2>&1", kSkerryBinary},
                 {{"SKERRY_DOSDEVICES", devices.path()}, {"SKERRY_TEST_OUT", file.string()}});
  EXPECT_NE(run.status, 0);
  std::ifstream in(file, std::ios::binary);
  const std::string both((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(both.size(), listing.out.size());
  EXPECT_EQ(both.substr(0, listing.out.size()), listing.out);
  EXPECT_EQ(both.substr(listing.out.size()).rfind("Error ", 0), 0u)
      << both.substr(listing.out.size());
  fs::remove(file);
}

}  // namespace
}  // namespace skerry::e2e
