// The command line of skerry.exe under Wine: the usage text and the option
// errors, byte for byte what the Linux build prints, with the same status.
// Arguments outside ASCII travel through wmain as UTF-16 and come back in the
// messages as UTF-8.

#include <string>
#include <vector>

#include "device_directory.h"
#include "wine_test.h"

namespace skerry::wine {
namespace {

using CommandLineTest = WineTest;

TEST_F(CommandLineTest, UsageAndOptionErrorsMatchTheLinuxBuild) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-?"},
      {"-A=q", "-?"},  // a complaint on the error stream, then the usage text
      {"-x", "q:"},
      {"-f"},
      {"-d", "many", "q:"},
      {"-t", "soon", "q:"},
      {"-\xC3\xA9"},                       // -é
      {"-d", "\xE6\x97\xA5\xE6\x9C\xAC"},  // 日本
      {"-\xF0\x9F\x98\x80"},  // an emoji: its option letter is half of a surrogate pair
      {"--help"},
      {"--version"},
  };
  const e2e::DeviceDirectory noDevices;
  for (const std::vector<std::string>& arguments : cases) {
    std::string shown;
    for (const std::string& argument : arguments) shown += " " + argument;
    SCOPED_TRACE("skerry" + shown);
    const ProcessResult linuxRun = RunLinux(noDevices.path(), arguments);
    const ProcessResult windowsRun = RunWindows(arguments);
    EXPECT_EQ(windowsRun.status, linuxRun.status);
    EXPECT_EQ(windowsRun.out, linuxRun.out);
    EXPECT_EQ(windowsRun.err, linuxRun.err);
  }
}

// The comparison above would pass if both builds printed nothing.
TEST_F(CommandLineTest, UsageTextIsPrintedWithStatusZero) {
  const ProcessResult run = RunWindows({});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\nUse:\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos) << "the usage text has no carriage returns";
  EXPECT_EQ(run.err, "");

  const ProcessResult version = RunWindows({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Skerry " SKERRY_E2E_VERSION "\n");
}

}  // namespace
}  // namespace skerry::wine
