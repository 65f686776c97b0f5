// --help and --version of the built program, alone on its command line.

#include <gtest/gtest.h>

#include <string>

#include "device_directory.h"
#include "e2e_environment.h"
#include "process_runner.h"

namespace skerry {
namespace {

using e2e::ProcessResult;
using e2e::RunProcess;

TEST(HelpAndVersion, AnswerAloneAndOtherwiseDoubleDashEndsTheOptions) {
  const ProcessResult usage = RunProcess({e2e::kSkerryBinary});
  const ProcessResult help = RunProcess({e2e::kSkerryBinary, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  ASSERT_FALSE(usage.out.empty());
  ASSERT_EQ(help.out.substr(0, usage.out.size()), usage.out) << "the usage text comes first";
  const std::string added = help.out.substr(usage.out.size());
  for (const char* named : {"-m ", "-0 ", "-e ", "x:=PATH ", "x:=PATH@P ", "--version "}) {
    EXPECT_NE(added.find(named), std::string::npos) << named << " missing from\n" << added;
  }

  const ProcessResult version = RunProcess({e2e::kSkerryBinary, "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Skerry " SKERRY_E2E_VERSION "\n");
  EXPECT_EQ(version.err, "");

  // Not alone, "--help" ends the options and is skipped: q: is scanned.
  const e2e::DeviceDirectory noDevices;
  const ProcessResult scan = RunProcess({e2e::kSkerryBinary, "--help", "q:"},
                                        {{"SKERRY_DOSDEVICES", noDevices.path()}});
  EXPECT_NE(scan.status, 0);
  EXPECT_EQ(scan.out.find("Use:"), std::string::npos);
  EXPECT_EQ(scan.err.rfind("Error ", 0), 0u) << scan.err;
}

}  // namespace
}  // namespace skerry
