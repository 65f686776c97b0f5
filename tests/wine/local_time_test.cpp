// Local times differ on purpose. The Windows build converts a stamp with
// FileTimeToLocalFileTime, which applies the offset in force now, daylight
// saving or not, to every stamp; the POSIX backend gives each stamp the offset
// in force at its own date, as Linux tools do. In New York a winter stamp and
// a summer stamp are therefore shifted alike on Windows and an hour apart on
// Linux.

#include <string>
#include <vector>

#include "device_directory.h"
#include "test_disks.h"
#include "wine_test.h"

namespace skerry::wine {
namespace {

// sample.disk: \docs\report-2021.txt at 2021-12-31 23:59:59 UTC (winter),
// \docs\Meeting Minutes.txt at 2023-04-02 10:00 UTC (summer).
constexpr char kWinterFile[] = " D:\\docs\\report-2021.txt";
constexpr char kSummerFile[] = " D:\\docs\\Meeting Minutes.txt";

// The date and time printed before `file` in a -T listing.
std::string TimeOf(const std::string& listing, const std::string& file) {
  for (const std::string& line : e2e::SplitLines(listing)) {
    if (line.size() > file.size() && line.ends_with(file)) {
      return line.substr(0, line.size() - file.size());
    }
  }
  return "(" + file + " is not listed)";
}

using LocalTimeTest = WineTest;

TEST_F(LocalTimeTest, WindowsShiftsByTodaysOffsetLinuxByTheStampsOwn) {
  const e2e::TestDisk disk = e2e::BuildTestDisk("sample");
  e2e::DeviceDirectory linuxDevices;
  linuxDevices.AddDisk(1, disk.image);
  linuxDevices.MapDrive('d', 1, 1);
  PrefixMappings mappings;
  mappings.MapDiskAsDriveD(disk.image);
  const Environment newYork = {{"TZ", "America/New_York"}};

  const ProcessResult linuxRun = RunLinux(linuxDevices.path(), {"-T", "d:"}, newYork);
  ASSERT_EQ(linuxRun.status, 0) << linuxRun.err;
  EXPECT_EQ(TimeOf(linuxRun.out, kWinterFile), "12/31/2021   6:59 PM");  // UTC-5
  EXPECT_EQ(TimeOf(linuxRun.out, kSummerFile), "04/02/2023   6:00 AM");  // UTC-4

  const ProcessResult windowsRun = RunWindows({"-T", "d:"}, newYork);
  ASSERT_EQ(windowsRun.status, 0) << windowsRun.err;
  const std::vector<std::string> windowsTimes = {TimeOf(windowsRun.out, kWinterFile),
                                                 TimeOf(windowsRun.out, kSummerFile)};
  const std::vector<std::string> standardNow = {"12/31/2021   6:59 PM", "04/02/2023   5:00 AM"};
  const std::vector<std::string> daylightNow = {"12/31/2021   7:59 PM", "04/02/2023   6:00 AM"};
  EXPECT_TRUE(windowsTimes == standardNow || windowsTimes == daylightNow)
      << windowsTimes[0] << ", " << windowsTimes[1];
}

}  // namespace
}  // namespace skerry::wine
