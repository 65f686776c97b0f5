#include "wine_test.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>

#include "e2e_environment.h"

namespace skerry::wine {
namespace fs = std::filesystem;
namespace {

constexpr const char* kWineRunner = SKERRY_WINE_RUNNER;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Both builds format sizes and times from the locale and the time zone; these
// fix them. Wine takes its locale from the same variables but knows no "C"
// locale (it formats as en-US there, while the POSIX backend groups nothing).
Environment WithFixedLocale(const Environment& overrides) {
  Environment environment = {{"LC_ALL", "en_US.UTF-8"}, {"LANG", "en_US.UTF-8"}, {"TZ", "UTC"}};
  for (const auto& [name, value] : overrides) environment[name] = value;
  return environment;
}

// Why the Windows side cannot run, or empty.
std::string MissingPiece() {
  const std::string exe = Variable("SKERRY_WINE_EXE");
  if (exe.empty()) return "SKERRY_WINE_EXE is not set (tools/wine/test.sh sets it)";
  if (!fs::exists(exe)) return exe + " does not exist";
  const std::string prefix = Variable("WINEPREFIX");
  if (prefix.empty()) return "WINEPREFIX is not set (tools/wine/test.sh makes a prefix)";
  if (!fs::is_directory(fs::path(prefix) / "dosdevices")) return prefix + " is no Wine prefix";
  return {};
}

}  // namespace

void WineTest::SetUp() {
  const std::string missing = MissingPiece();
  if (!missing.empty()) GTEST_SKIP() << missing;
}

ProcessResult WineTest::RunWindows(const std::vector<std::string>& arguments,
                                   const Environment& environment) {
  std::vector<std::string> argv = {kWineRunner, Variable("SKERRY_WINE_EXE")};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return e2e::RunProcess(argv, WithFixedLocale(environment));
}

ProcessResult WineTest::RunLinux(const std::string& devices,
                                 const std::vector<std::string>& arguments,
                                 const Environment& environment) {
  std::vector<std::string> argv = {e2e::kSkerryBinary};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  Environment merged = WithFixedLocale(environment);
  merged["SKERRY_DOSDEVICES"] = devices;
  return e2e::RunProcess(argv, merged);
}

std::string WineTest::PrefixDevices() {
  return (fs::path(Variable("WINEPREFIX")) / "dosdevices").string();
}

PrefixMappings::~PrefixMappings() {
  for (const std::string& name : added_) {
    std::error_code ignored;
    fs::remove(name, ignored);
  }
}

void PrefixMappings::MapDiskAsDriveD(const std::string& image) {
  Link(fs::absolute(image).string(), "physicaldrive1");
  Link(fs::absolute(image).string(), "d::");
}

void PrefixMappings::MapDirectory(char letter, const std::string& directory) {
  Link(fs::absolute(directory).string(), std::string(1, letter) + ":");
}

void PrefixMappings::Link(const std::string& target, const std::string& name) {
  const fs::path link = fs::path(WineTest::PrefixDevices()) / name;
  // A link left behind by an interrupted run may go; the prefix's own entries
  // (c:, z:) are never replaced, because no test maps those names.
  std::error_code error;
  if (fs::is_symlink(link, error)) fs::remove(link);
  fs::create_symlink(target, link);
  added_.push_back(link.string());
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines = e2e::SplitLines(text);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string LineDifference(const std::vector<std::string>& linuxLines,
                           const std::vector<std::string>& windowsLines) {
  std::vector<std::string> onlyLinux, onlyWindows;
  std::set_difference(linuxLines.begin(), linuxLines.end(), windowsLines.begin(),
                      windowsLines.end(), std::back_inserter(onlyLinux));
  std::set_difference(windowsLines.begin(), windowsLines.end(), linuxLines.begin(),
                      linuxLines.end(), std::back_inserter(onlyWindows));
  std::string report = std::to_string(linuxLines.size()) + " lines from Linux, " +
                       std::to_string(windowsLines.size()) + " from Windows\n";
  // Enough to see the pattern without burying it under a disk's worth of names.
  constexpr size_t kShown = 30;
  const auto show = [&](const std::vector<std::string>& lines, const char* side) {
    for (size_t i = 0; i < lines.size() && i < kShown; ++i) report += side + lines[i] + "\n";
    if (lines.size() > kShown) report += "... " + std::to_string(lines.size() - kShown) + " more\n";
  };
  show(onlyLinux, "only Linux:   ");
  show(onlyWindows, "only Windows: ");
  return report;
}

}  // namespace skerry::wine
