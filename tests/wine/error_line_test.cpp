// The "Error " lines of skerry.exe under Wine. They carry the system's message
// text: Windows' (and Wine's, whose wording differs again) ends with a
// carriage return and a line feed before the line's own line feed, where the
// Linux build's text ends with a line feed alone. So the Windows line is
// checked for its prefix, its line ends and its code (the exit status), and
// the Linux line for its whole text.

#include <string>
#include <vector>

#include "device_directory.h"
#include "e2e_environment.h"
#include "test_disks.h"
#include "wine_test.h"

namespace skerry::wine {
namespace {

struct ErrorLine {
  std::string text;  // between "Error " and the line ends
  std::string rest;  // what follows the line
};

// Splits "Error <text><lineEnd>\n<rest>", where <lineEnd> ends the system's
// text; fails the test when `err` is not of that form.
ErrorLine SplitErrorLine(const std::string& err, const std::string& lineEnd) {
  ErrorLine line;
  const std::string ending = lineEnd + "\n";
  const size_t end = err.find(ending);
  EXPECT_EQ(err.rfind("Error ", 0), 0u) << err;
  EXPECT_NE(end, std::string::npos) << "no " << testing::PrintToString(ending) << " in " << err;
  if (err.rfind("Error ", 0) != 0 || end == std::string::npos) return line;
  line.text = err.substr(6, end - 6);
  line.rest = err.substr(end + ending.size());
  return line;
}

class ErrorLineTest : public WineTest {
 protected:
  // Runs both builds and checks their error lines: the same code, the Linux
  // build's `linuxText`, a Windows text of the system's own.
  // `linuxDetail`: the line that only the Linux build adds, saying what it
  // found in its device directory.
  void ExpectErrorLines(const std::vector<std::string>& arguments, const std::string& linuxDevices,
                        int code, const std::string& linuxText,
                        const std::string& linuxDetail = "") {
    const ProcessResult linuxRun = RunLinux(linuxDevices, arguments);
    const ProcessResult windowsRun = RunWindows(arguments);
    // Exit statuses reach Linux as their low 8 bits.
    EXPECT_EQ(linuxRun.status, code & 0xFF);
    EXPECT_EQ(windowsRun.status, code & 0xFF);

    const ErrorLine linuxLine = SplitErrorLine(linuxRun.err, "\n");
    EXPECT_EQ(linuxLine.text, linuxText);
    EXPECT_EQ(linuxLine.text.find('\r'), std::string::npos);

    const ErrorLine windowsLine = SplitErrorLine(windowsRun.err, "\r\n");
    EXPECT_FALSE(windowsLine.text.empty());
    EXPECT_EQ(windowsLine.text.find("Unknown error"), std::string::npos)
        << "the system has a text for " << code;
    EXPECT_EQ(windowsLine.text.find('\n'), std::string::npos) << windowsLine.text;
    EXPECT_EQ(linuxLine.rest.substr(0, linuxDetail.size()), linuxDetail);
    EXPECT_EQ(windowsLine.rest, linuxLine.rest.substr(linuxDetail.size()));
    EXPECT_EQ(windowsRun.out, linuxRun.out);
  }
};

TEST_F(ErrorLineTest, DriveThatIsNotMapped) {
  const e2e::DeviceDirectory noDevices;
  ExpectErrorLines({"q:"}, noDevices.path(), 2, "The system cannot find the file specified.",
                   "no entry q:: in " + noDevices.path() + "\n");
}

// A code of the program's own, not of a system call: the first partition of
// the GPT disk is the EFI system partition, which is no NTFS volume.
TEST_F(ErrorLineTest, PartitionThatIsNotNtfs) {
  const e2e::TestDisk disk = e2e::BuildTestDisk("gpt");
  e2e::DeviceDirectory linuxDevices;
  linuxDevices.AddDisk(1, disk.image);
  linuxDevices.MapDrive('d', 1, 1);
  PrefixMappings mappings;
  mappings.MapDiskAsDriveD(disk.image);
  ExpectErrorLines({"d:"}, linuxDevices.path(), 15, "The system cannot find the drive specified.");
}

// The walk's error line is followed by its own message.
TEST_F(ErrorLineTest, WalkOfADirectoryThatIsNotThere) {
  PrefixMappings mappings;
  mappings.MapDirectory('x', e2e::kWorkDirectory);
  ExpectErrorLines({"-z", "x:\\not-there\\"}, PrefixDevices(), 3,
                   "The system cannot find the path specified.");
}

}  // namespace
}  // namespace skerry::wine
