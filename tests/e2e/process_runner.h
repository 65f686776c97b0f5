#pragma once
// Runs a program and captures what it writes.

#include <map>
#include <string>
#include <vector>

namespace skerry::e2e {

struct ProcessResult {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs argv[0] (a path, or a name looked up on PATH) with the current
// environment plus `environment` (a value replaces an inherited one). Throws
// std::runtime_error when the program cannot be started.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& environment = {});

// One string per line, without the line feeds (and without a final empty line).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace skerry::e2e
