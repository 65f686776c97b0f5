#pragma once

#include <string>
#include <vector>

namespace skerry::disk_builder {

struct CommandResult {
  int status = -1;     // exit status, or -1 when it did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs a program found on PATH (or in /sbin, /usr/sbin, where mkntfs lives)
// and waits for it. Throws std::runtime_error when it cannot be started.
CommandResult RunCommand(const std::vector<std::string>& argv);

}  // namespace skerry::disk_builder
