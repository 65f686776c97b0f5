// A file name may hold escape sequences. On a terminal they must show as "?"
// so that a name cannot rewrite the screen; in a file they pass unchanged.

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device_directory.h"
#include "e2e_environment.h"
#include "process_runner.h"

namespace skerry {
namespace {

namespace fs = std::filesystem;

// ESC [ 2 J clears the screen; BEL rings; U+009B is the one-character CSI.
const std::string kHostileName =
    "a\x1b[2Jb\x07"
    "c\xc2\x9b"
    "d.txt";

// Runs skerry with its standard output on a pseudo-terminal and returns what
// the terminal received.
std::string RunOnTerminal(const std::string& devices, const std::vector<std::string>& args) {
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return "forkpty failed";
  if (child == 0) {
    setenv("SKERRY_DOSDEVICES", devices.c_str(), 1);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  return text;
}

TEST(TerminalNames, EscapeSequencesShowAsQuestionMarksOnATerminalAndPassIntoAFile) {
  e2e::DeviceDirectory devices;
  const fs::path tree = fs::path(devices.path()) / "tree";
  fs::create_directories(tree);
  std::ofstream(tree / kHostileName) << "x";
  // A directory that cannot be opened: its path reaches the error stream
  // ("Failed to open directory ..."), which a terminal must get masked as well.
  const fs::path locked = tree / "locked\x1b]0;title\x07";
  fs::create_directory(locked);
  fs::permissions(locked, fs::perms::none);
  fs::create_directory_symlink(tree, fs::path(devices.path()) / "x:");
  // Root reads any directory; without these two capabilities it reads as a user.
  std::vector<std::string> command;
  if (geteuid() == 0) {
    command = {"setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"};
  }
  command.insert(command.end(), {e2e::kSkerryBinary, "-z", "x:"});

  const std::string screen = RunOnTerminal(devices.path(), command);
  const e2e::ProcessResult redirected =
      e2e::RunProcess(command, {{"SKERRY_DOSDEVICES", devices.path()}});
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(screen.find('\x1b'), std::string::npos) << screen;
  EXPECT_EQ(screen.find('\x07'), std::string::npos) << screen;
  EXPECT_NE(screen.find("x:\\a?[2Jb?c?d.txt"), std::string::npos) << screen;
  EXPECT_NE(screen.find("x:\\locked?]0;title?"), std::string::npos) << screen;
  // -0 asks for names exactly as they are, even on a terminal.
  const std::string exact = RunOnTerminal(devices.path(), {e2e::kSkerryBinary, "-0", "-z", "x:"});
  EXPECT_NE(exact.find("x:\\" + kHostileName + '\0'), std::string::npos) << exact;

  EXPECT_EQ(redirected.out, "x:\\" + kHostileName + "\n");
  EXPECT_NE(redirected.err.find("x:\\locked\x1b]0;title\x07"), std::string::npos)
      << redirected.err;
}

}  // namespace
}  // namespace skerry
