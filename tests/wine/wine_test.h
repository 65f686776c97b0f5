#pragma once
// skerry.exe under Wine and the Linux skerry, run side by side on the same
// disks and trees.
//
// tools/wine/test.sh hands the Windows side over through the environment:
// WINEPREFIX, a throwaway prefix booted once per run, and SKERRY_WINE_EXE, the
// cross-built skerry.exe. Without them every test skips and says why.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "process_runner.h"

namespace skerry::wine {

using e2e::ProcessResult;
using Environment = std::map<std::string, std::string>;

class WineTest : public testing::Test {
 public:
  // The prefix's own device directory, which the Linux build can read too.
  static std::string PrefixDevices();

 protected:
  void SetUp() override;

  // skerry.exe under Wine in the prefix. Both sides run with LANG and LC_ALL
  // en_US.UTF-8 and TZ UTC unless `environment` says otherwise.
  static ProcessResult RunWindows(const std::vector<std::string>& arguments,
                                  const Environment& environment = {});
  // The Linux skerry with `devices` as its device directory.
  static ProcessResult RunLinux(const std::string& devices,
                                const std::vector<std::string>& arguments,
                                const Environment& environment = {});
};

// Entries made in the prefix's dosdevices for one test, removed with it.
class PrefixMappings {
 public:
  PrefixMappings() = default;
  ~PrefixMappings();
  PrefixMappings(const PrefixMappings&) = delete;
  PrefixMappings& operator=(const PrefixMappings&) = delete;

  // The disk as physicaldrive1 and its first partition as drive D:. Wine
  // answers the device-number query of a volume entry that links to a plain
  // file with disk 1, partition 1 whatever the file, so this is the one
  // place a disk image can be mapped, and only its first partition is
  // reachable.
  void MapDiskAsDriveD(const std::string& image);
  // <letter>: as the root directory `directory`, for the slow walk.
  void MapDirectory(char letter, const std::string& directory);

 private:
  void Link(const std::string& target, const std::string& name);

  std::vector<std::string> added_;
};

// The lines of `text`, sorted, so that two listings compare as sets of lines.
std::vector<std::string> SortedLines(const std::string& text);

// What only one of two sorted line lists holds, for a failure message.
std::string LineDifference(const std::vector<std::string>& linuxLines,
                           const std::vector<std::string>& windowsLines);

}  // namespace skerry::wine
