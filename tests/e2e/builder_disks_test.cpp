// The builder's disks are what their descriptions say, as The Sleuth Kit sees them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "e2e_environment.h"
#include "listing_comparison.h"
#include "process_runner.h"
#include "sleuth_kit.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

// Names in fls's view that the builder made (system files start with '$').
std::map<std::string, uint64_t> UserEntries(const std::vector<FlsEntry>& fls, bool deleted) {
  std::map<std::string, uint64_t> entries;
  for (const FlsEntry& entry : fls) {
    if (entry.deleted != deleted || entry.path.empty() || entry.path[0] == '$') continue;
    entries[SkerryPathOf(entry.path, "")] = entry.inode;
  }
  return entries;
}

class BuiltDisk : public testing::TestWithParam<const char*> {};

TEST_P(BuiltDisk, FlsSeesEveryLiveNameAndNoOther) {
  const TestDisk disk = BuildTestDisk(GetParam());
  for (const ManifestPartition& partition : disk.partitions) {
    if (partition.contents != "ntfs") continue;
    SCOPED_TRACE("partition at sector " + std::to_string(partition.startSector));
    const std::vector<FlsEntry> fls = RunFls(disk.image, partition.startSector);
    std::map<std::string, uint64_t> expected;
    std::set<std::string> deleted;
    for (const ManifestName& name : partition.names) {
      if (name.kind == "deleted") {
        deleted.insert(name.path);
      } else {
        expected[name.path] = name.record;
      }
    }
    EXPECT_EQ(UserEntries(fls, false), expected);
    // A deleted name is not in use; fls may or may not still find it in the index.
    for (const auto& [path, inode] : UserEntries(fls, true)) {
      EXPECT_TRUE(deleted.count(path)) << path << " is deleted but was never deleted";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ExampleDisks, BuiltDisk,
                         testing::Values("sample", "mbr-extended", "gpt", "fragmented-mft",
                                         "edge-names", "everyday"),
                         [](const auto& testParam) {
                           std::string name = testParam.param;
                           std::erase(name, '-');
                           return name;
                         });

TEST(BuiltDisks, FragmentedMftHasAtLeastThreeRunsInRecordZero) {
  const TestDisk disk = BuildTestDisk("fragmented-mft");
  const std::vector<ClusterRun> runs = MftDataRuns(disk.image, disk.NtfsPartition(1).startSector);
  EXPECT_GE(runs.size(), 3u);
  for (size_t i = 1; i < runs.size(); ++i) {
    EXPECT_NE(runs[i - 1].start + runs[i - 1].length, runs[i].start)
        << "runs " << i - 1 << ", " << i;
  }
}

TEST(BuiltDisks, ExtendedChainHasThePartitionsMmlsReports) {
  const TestDisk disk = BuildTestDisk("mbr-extended");
  std::vector<std::pair<uint64_t, uint64_t>> described;
  for (const ManifestPartition& partition : disk.partitions) {
    if (partition.role != "extended") {
      described.emplace_back(partition.startSector, partition.sectorCount);
    }
  }
  std::vector<std::pair<uint64_t, uint64_t>> reported;
  std::vector<std::string> kinds;
  for (const MmlsPartition& partition : RunMmls(disk.image)) {
    if (partition.description.find("Extended") != std::string::npos) continue;
    reported.emplace_back(partition.start, partition.length);
    kinds.push_back(partition.description);
  }
  EXPECT_EQ(reported, described);
  EXPECT_EQ(kinds, (std::vector<std::string>{"NTFS / exFAT (0x07)", "NTFS / exFAT (0x07)",
                                             "Linux (0x83)", "NTFS / exFAT (0x07)"}));
}

TEST(BuiltDisks, GptDiskHasThePartitionsMmlsReports) {
  const TestDisk disk = BuildTestDisk("gpt");
  std::vector<std::pair<uint64_t, uint64_t>> described;
  for (const ManifestPartition& partition : disk.partitions) {
    described.emplace_back(partition.startSector, partition.sectorCount);
  }
  std::vector<std::pair<uint64_t, uint64_t>> reported;
  std::vector<std::string> names;
  for (const MmlsPartition& partition : RunMmls(disk.image)) {
    reported.emplace_back(partition.start, partition.length);
    names.push_back(partition.description);
  }
  EXPECT_EQ(reported, described);
  EXPECT_EQ(names, (std::vector<std::string>{"EFI", "Data", "Linux"}));
}

TEST(BuiltDisks, SameDescriptionGivesTheSameImage) {
  namespace fs = std::filesystem;
  const fs::path directory = fs::path(kWorkDirectory) / "determinism";
  fs::create_directories(directory);
  const std::string description = std::string(kDisksDirectory) + "/sample.disk";
  const std::string first = (directory / "first.img").string();
  const std::string second = (directory / "second.img").string();
  RunDiskBuilder(description, first);
  RunDiskBuilder(description, second);
  std::ifstream a(first, std::ios::binary), b(second, std::ios::binary);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                         std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>()));
  for (const std::string& image : {first, second}) {
    fs::remove(image);
    fs::remove(image + ".manifest");
  }
}

// A description that fails half-way names its line and leaves no image behind.
TEST(BuiltDisks, FailedBuildNamesTheLineAndLeavesNoImage) {
  namespace fs = std::filesystem;
  const fs::path directory = fs::path(kWorkDirectory) / "failing";
  fs::create_directories(directory);
  const fs::path description = directory / "missing-parent.disk";
  std::ofstream(description) << "disk size=32MiB\n"
                                "partition size=16MiB fs=ntfs\n"
                                "file \\docs\\a.txt size=1\n";
  const fs::path image = directory / "missing-parent.img";
  fs::remove(image);
  const ProcessResult result = RunProcess({kDiskBuilder, description.string(), image.string()},
                                          {{"ASAN_OPTIONS", "detect_leaks=0"}});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("line 3: \\docs was not created before"), std::string::npos)
      << result.err;
  EXPECT_FALSE(fs::exists(image));
  std::vector<std::string> leftovers;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.path() != description) leftovers.push_back(entry.path().filename());
  }
  EXPECT_TRUE(leftovers.empty()) << leftovers.front();
}

}  // namespace
}  // namespace skerry::e2e
