// Volumes made by other tools (Debian's forensics samples), checked against
// The Sleuth Kit's view of the same volumes.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ntfs/ntfs_volume.h"
#include "ntfs/partition_table.h"
#include "support/file_disk.h"

namespace skerry {
namespace {

namespace fs = std::filesystem;

constexpr char kSamples[] = "/usr/share/forensics-samples";
constexpr char16_t kDisk[] = u"\\\\.\\PhysicalDrive0";

#ifndef _WIN32
bool Run(const std::string& command, std::string& output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
  return pclose(pipe) == 0;
}
#endif

// Decompresses a sample into the working directory once; empty when the
// sample or the tools are missing.
std::string Sample(const std::string& name) {
#ifdef _WIN32
  (void)name;
  return {};
#else
  const fs::path packed = fs::path(kSamples) / (name + ".xz");
  std::error_code error;
  if (!fs::exists(packed, error)) return {};
  std::string ignored;
  if (!Run("command -v istat >/dev/null && command -v xz >/dev/null", ignored)) return {};
  const fs::path image = fs::current_path() / "ntfs_samples" / name;
  if (fs::exists(image, error) && fs::last_write_time(image) >= fs::last_write_time(packed)) {
    return image.string();
  }
  fs::create_directories(image.parent_path());
  const fs::path partial = image.string() + ".partial";
  if (!Run("xz -dc '" + packed.string() + "' > '" + partial.string() + "'", ignored)) return {};
  fs::rename(partial, image);
  return image.string();
#endif
}

struct IstatData {
  uint64_t size = 0;
  std::vector<std::pair<uint64_t, uint64_t>> runs;  // first cluster, clusters
};

// The unnamed $DATA of record 0 as `istat -r` reports it.
IstatData IstatMft(const std::string& image, uint32_t startSector) {
  IstatData data;
#ifndef _WIN32
  std::string output;
  EXPECT_TRUE(Run("istat -r -o " + std::to_string(startSector) + " '" + image + "' 0", output));
  std::istringstream lines(output);
  std::string line;
  bool inData = false;
  while (std::getline(lines, line)) {
    if (line.rfind("Type: ", 0) == 0) {
      inData =
          line.rfind("Type: $DATA (128-", 0) == 0 && line.find("Name: N/A") != std::string::npos;
      const size_t size = line.find("size: ");
      if (inData && size != std::string::npos) data.size = std::stoull(line.substr(size + 6));
      continue;
    }
    uint64_t start = 0;
    uint64_t length = 0;
    if (inData &&
        std::sscanf(line.c_str(), " Starting address: %lu, length: %lu", &start, &length) == 2) {
      data.runs.emplace_back(start, length);
    }
  }
#else
  (void)image;
  (void)startSector;
#endif
  return data;
}

class SampleDisksTest : public ::testing::Test {
 protected:
  // Callers return when this skipped: a skip leaves only this function.
  void Open(const std::string& name) {
#ifdef _WIN32
    GTEST_SKIP() << "the samples are unpacked with xz and checked with istat, which Windows lacks";
#endif
    image = Sample(name);
    if (image.empty()) GTEST_SKIP() << "sample " << name << " or istat/xz not installed";
    opener.Add(kDisk, image);
    PartitionTable table;
    ASSERT_EQ(ReadPartitionTable(opener, kDisk, table), kErrorSuccess);
    partitions = table.partitions;
  }

  // Mounts the partition and checks it against istat.
  void CheckVolume(size_t index) {
    SCOPED_TRACE(testing::Message() << "partition index " << index);
    const PartitionEntry& entry = partitions.at(index);
    NtfsVolume volume(opener);
    ASSERT_EQ(volume.Mount(kDisk, entry, u'\\', nullptr), kErrorSuccess);
    const IstatData expected = IstatMft(image, entry.startSector);
    ASSERT_GT(expected.size, 0u);
    EXPECT_EQ(volume.mftRecordCount(), expected.size / volume.recordSize());
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (const RunEntry& run : volume.mftRuns()) {
      runs.emplace_back(run.lcn.value, run.byteLength / volume.clusterSize());
    }
    EXPECT_EQ(runs, expected.runs);
  }

  std::string image;
  test::FileOpener opener;
  std::vector<PartitionEntry> partitions;
};

TEST_F(SampleDisksTest, NtfsSampleLoadsItsWholeMft) {
  Open("fs.ntfs");
  if (IsSkipped()) return;
  CheckVolume(0);
}

TEST_F(SampleDisksTest, MultipleSampleLoadsTheNtfsPartitionAndRefusesExfat) {
  Open("fs.multiple");
  if (IsSkipped()) return;
  ASSERT_EQ(partitions.size(), 4u);
  CheckVolume(3);
  // Type 0x07 is NTFS or exFAT; this one holds exFAT.
  NtfsVolume exfat(opener);
  EXPECT_EQ(exfat.Mount(kDisk, partitions[2], u'\\', nullptr), kErrorInvalidDrive);
}

}  // namespace
}  // namespace skerry
