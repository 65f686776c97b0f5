// `skerry -m` feeds mactime the timeline that The Sleuth Kit's `fls -m` gives
// for the same files; `skerry -0` lines survive `xargs -0` whatever the names.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "device_directory.h"
#include "e2e_environment.h"
#include "process_runner.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

namespace fs = std::filesystem;

// A body file line's fields, MD5 first.
using BodyFields = std::vector<std::string>;
constexpr size_t kName = 1;
constexpr size_t kInode = 2;
constexpr size_t kMode = 3;
constexpr size_t kSize = 6;
constexpr size_t kFieldCount = 11;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

// Body lines of files (not directories) by name, with skerry's "D:\a\b"
// written as fls writes it, "/a/b". fls keeps times in 32 bits, so skerry's
// are taken modulo 2^32 to compare.
std::map<std::string, BodyFields> FilesOfBody(const std::string& body, bool fromSkerry) {
  std::map<std::string, BodyFields> files;
  for (const std::string& line : SplitLines(body)) {
    BodyFields fields = Split(line, '|');
    if (fields.size() != kFieldCount || fields[kMode].find("/d") != std::string::npos) continue;
    if (fromSkerry) {
      std::string& name = fields[kName];
      name.erase(0, 2);
      for (char& c : name) c = c == '\\' ? '/' : c;
      for (size_t t = 7; t < kFieldCount; ++t) {
        fields[t] = std::to_string(static_cast<uint64_t>(std::stoll(fields[t])) % (1ull << 32));
      }
    }
    files[fields[kName]] = fields;
  }
  return files;
}

// What mactime makes of `lines` (its header dropped).
std::vector<std::string> Timeline(const std::vector<std::string>& lines, const std::string& file) {
  {
    std::ofstream out(file, std::ios::binary);
    for (const std::string& line : lines) out << line << '\n';
  }
  const ProcessResult result = RunProcess({"mactime", "-b", file, "-d", "-y", "-z", "UTC"});
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<std::string> rows = SplitLines(result.out);
  if (!rows.empty()) rows.erase(rows.begin());
  return rows;
}

// The fields both tools are compared on: name, record number (the inode up
// to its first "-"), size and the four times. Mode, owner and the attribute
// in the inode are fls's own.
std::string ComparedLine(const BodyFields& f) {
  return "0|" + f[kName] + "|" + Split(f[kInode], '-').at(0) + "|r/r---------|0|0|" + f[kSize] +
         "|" + f[7] + "|" + f[8] + "|" + f[9] + "|" + f[10];
}

struct Volume {
  std::string image;
  int partition = 1;
  uint64_t startSector = 0;
};

// Compares the timelines of the files both list, the deleted ones (-e
// against fls -d) when `deleted`. Returns how many files were compared.
size_t ExpectTimelineMatchesFls(const Volume& volume, bool deleted) {
  DeviceDirectory devices;
  devices.AddDisk(1, volume.image);
  devices.MapDrive('d', 1, volume.partition);
  std::vector<std::string> arguments = {"-m", "d:"};
  if (deleted) arguments.insert(arguments.begin(), "-e");
  const ProcessResult skerry = devices.RunSkerry(arguments);
  EXPECT_EQ(skerry.status, 0) << skerry.err;
  EXPECT_FALSE(Timeline(SplitLines(skerry.out), devices.path() + "/all.body").empty());

  std::vector<std::string> fls = {"fls", "-r", "-m", "/", "-o", std::to_string(volume.startSector),
                                  volume.image};
  if (deleted) fls.insert(fls.begin() + 1, "-d");
  const ProcessResult sleuth = RunProcess(fls);
  EXPECT_EQ(sleuth.status, 0) << sleuth.err;

  const std::map<std::string, BodyFields> ours = FilesOfBody(skerry.out, true);
  const std::map<std::string, BodyFields> theirs = FilesOfBody(sleuth.out, false);
  std::vector<std::string> ourLines;
  std::vector<std::string> theirLines;
  for (const auto& [name, fields] : ours) {
    const auto other = theirs.find(name);
    if (other == theirs.end()) continue;
    if (deleted != (name.find(" (deleted)") != std::string::npos)) continue;
    // fls gives $MFT (record 0) times that its record does not hold.
    if (fields[kInode] == "0" || fields[kInode].rfind("0-", 0) == 0) continue;
    ourLines.push_back(ComparedLine(fields));
    theirLines.push_back(ComparedLine(other->second));
  }
  EXPECT_EQ(Timeline(ourLines, devices.path() + "/ours.body"),
            Timeline(theirLines, devices.path() + "/theirs.body"));
  return ourLines.size();
}

Volume BuilderVolume(const std::string& name) {
  const TestDisk disk = BuildTestDisk(name);
  return {disk.image, 1, disk.NtfsPartition(1).startSector};
}

TEST(TimelineVsFls, BuilderDisks) {
  const Volume edges = BuilderVolume("edge-names");
  EXPECT_GT(ExpectTimelineMatchesFls(edges, false), 5000u);
  // \deleted\gone.txt, both lines.
  EXPECT_EQ(ExpectTimelineMatchesFls(edges, true), 2u);
  EXPECT_GT(ExpectTimelineMatchesFls(BuilderVolume("fragmented-mft"), false), 70u);
}

TEST(TimelineVsFls, DebianSamples) {
  const std::string ntfs = ForensicsSample("fs.ntfs");
  if (ntfs.empty()) GTEST_SKIP() << "forensics-samples-ntfs is not installed";
  EXPECT_GT(ExpectTimelineMatchesFls({ntfs, 1, 2048}, false), 0u);
  EXPECT_GT(ExpectTimelineMatchesFls({ntfs, 1, 2048}, true), 0u);
  const std::string multiple = ForensicsSample("fs.multiple");
  if (multiple.empty()) GTEST_SKIP() << "forensics-samples-multiple is not installed";
  EXPECT_GT(ExpectTimelineMatchesFls({multiple, 4, 391168}, false), 0u);
}

// A name filter drops records as the MFT loads, across the MFT's four runs;
// the lines kept still carry their records' own numbers.
TEST(Timeline, FilteredLoadKeepsRecordNumbers) {
  DeviceDirectory devices;
  devices.AddDisk(1, BuildTestDisk("fragmented-mft").image);
  devices.MapDrive('d', 1, 1);
  const ProcessResult all = devices.RunSkerry({"-m", "d:"});
  const ProcessResult some = devices.RunSkerry({"-m", "-f", "*.txt", "d:"});
  ASSERT_EQ(all.status, 0) << all.err;
  ASSERT_EQ(some.status, 0) << some.err;
  const std::vector<std::string> allLines = SplitLines(all.out);
  const std::set<std::string> everyLine(allLines.begin(), allLines.end());
  const std::vector<std::string> kept = SplitLines(some.out);
  EXPECT_EQ(kept.size(), 100u);
  for (const std::string& line : kept) EXPECT_EQ(everyLine.count(line), 1u) << line;
}

// Names with a line feed, a tab and an escape sequence, on a volume and in a
// directory tree: each -0 line passes through xargs -0 unchanged.
TEST(Timeline, NulEndedLinesSurviveXargs) {
  const fs::path work = fs::path(kWorkDirectory) / "timeline";
  fs::create_directories(work);
  const std::string description = (work / "control-names.disk").string();
  std::ofstream(description) << "disk size=16MiB time=2022-02-22T22:22:22\n"
                                "partition type=0x07 size=12MiB fs=ntfs\n"
                                "file $'\\\\line\\nfeed.txt' size=1\n"
                                "dir $'\\\\d\\nir'\n"
                                "file $'\\\\d\\nir\\\\in\\tner' size=2\n"
                                "file $'\\\\esc\\e[2Jape.txt' size=3\n";
  const std::string image = (work / "control-names.img").string();
  RunDiskBuilder(description, image);

  DeviceDirectory devices;
  devices.AddDisk(1, image);
  devices.MapDrive('d', 1, 1);
  const fs::path tree = fs::path(devices.path()) / "tree";
  fs::create_directories(tree / "d\nir");
  std::ofstream(tree / "d\nir" / "in\tner") << "x";
  fs::create_directory_symlink(tree, fs::path(devices.path()) / "x:");

  const std::string skerry = kSkerryBinary;
  for (const std::string& run : {skerry + " -0 d:", skerry + " -m -0 d:", skerry + " -0 -z x:"}) {
    const ProcessResult direct = RunProcess({"sh", "-c", run}, {{"SKERRY_DOSDEVICES", devices.path()}});
    const ProcessResult piped = RunProcess({"sh", "-c", run + " | xargs -0 printf '%s\\0'"},
                                           {{"SKERRY_DOSDEVICES", devices.path()}});
    ASSERT_EQ(direct.status, 0) << run << direct.err;
    EXPECT_EQ(piped.out, direct.out) << run;
    EXPECT_EQ(direct.out.find("Path"), std::string::npos) << run;
    EXPECT_NE(direct.out.find(":\\d\nir\\in\tner"), std::string::npos) << run;
  }
  const ProcessResult listing = devices.RunSkerry({"-0", "d:"});
  EXPECT_NE(listing.out.find(std::string("D:\\line\nfeed.txt\0", 17)), std::string::npos);
  EXPECT_NE(listing.out.find(std::string("D:\\esc\x1b[2Jape.txt\0", 18)), std::string::npos);
}

}  // namespace
}  // namespace skerry::e2e
