#ifndef _WIN32

#include "platform/posix/partition_numbering.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "platform/scratch_directory.h"
#include "support/memory_disk.h"
#include "support/partition_builder.h"

namespace skerry {
namespace {

using test::PartitionSector;

// Windows' numbers for Linux's, read from the same list the drive resolution
// uses: [empty, FAT, extended (NTFS, empty-length, Linux), NTFS].
TEST(WindowsPartitionNumberTest, FollowsTheDrivesOwnPartitionList) {
  auto disk = std::make_shared<test::DiskImage>();
  disk->WriteSector(0, PartitionSector({{0x00, 0, 0}, {0x0C, 63, 100}, {0x0F, 1000, 5000},
                                        {0x07, 9000, 100}}));
  disk->WriteSector(1000, PartitionSector({{0x07, 63, 10}, {0x05, 100, 100}}));
  disk->WriteSector(1100, PartitionSector({{0x07, 63, 0}, {0x05, 200, 100}}));
  disk->WriteSector(1200, PartitionSector({{0x83, 63, 10}, {0x05, 200, 100}}));  // loops
  struct Case {
    uint32_t linuxNumber;
    ErrorCode error;
    uint32_t windowsNumber;
  };
  const Case cases[] = {
      {2, kErrorSuccess, 1},        {4, kErrorSuccess, 2},  // the empty slot is not counted
      {5, kErrorSuccess, 3},        {6, kErrorSuccess, 5},  // Linux skips the 0-length one
      {1, kErrorNotSupported, 0},   {3, kErrorNotSupported, 0},  // empty, extended
      {7, kErrorNotSupported, 0},   {0, kErrorNotSupported, 0},  // past the loop
  };
  for (const Case& c : cases) {
    test::MemoryDisk device(disk);
    uint32_t windowsNumber = 0;
    EXPECT_EQ(WindowsPartitionNumber(device, c.linuxNumber, windowsNumber), c.error)
        << c.linuxNumber;
    if (c.error == kErrorSuccess) {
      EXPECT_EQ(windowsNumber, c.windowsNumber) << c.linuxNumber;
    }
  }

  disk->WriteSector(0, PartitionSector({{0xEE, 1, 100}}));
  test::MemoryDisk gpt(disk);
  uint32_t windowsNumber = 0;
  ASSERT_EQ(WindowsPartitionNumber(gpt, 9, windowsNumber), kErrorSuccess);
  EXPECT_EQ(windowsNumber, 9u);  // GPT: the array slot
}

// A miniature sysfs: dev/block/MAJ:MIN links to the device's directory, a
// partition's directory lies inside its disk's.
class FindBlockPartitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    auto disk = sysfs_ / "devices/pci0000:00/block/sdb";
    fs::create_directories(disk / "sdb2");
    fs::create_directories(sysfs_ / "dev/block");
    sysfs_.WriteFile("devices/pci0000:00/block/sdb/dev", "8:16\n");
    sysfs_.WriteFile("devices/pci0000:00/block/sdb/sdb2/dev", "8:18\n");
    sysfs_.WriteFile("devices/pci0000:00/block/sdb/sdb2/partition", "2\n");
    fs::create_directory_symlink("../../devices/pci0000:00/block/sdb", sysfs_ / "dev/block/8:16");
    fs::create_directory_symlink("../../devices/pci0000:00/block/sdb/sdb2",
                                 sysfs_ / "dev/block/8:18");
  }

  testing::ScratchDirectory sysfs_;
};

TEST_F(FindBlockPartitionTest, FindsThePartitionNumberAndItsDisk) {
  BlockPartition partition;
  ASSERT_EQ(FindBlockPartition(sysfs_.path().string(), 8, 18, partition), kErrorSuccess);
  EXPECT_EQ(partition.diskMajor, 8u);
  EXPECT_EQ(partition.diskMinor, 16u);
  EXPECT_EQ(partition.linuxNumber, 2u);
}

TEST_F(FindBlockPartitionTest, WholeDiskIsPartitionZeroOfItself) {
  BlockPartition partition;
  ASSERT_EQ(FindBlockPartition(sysfs_.path().string(), 8, 16, partition), kErrorSuccess);
  EXPECT_EQ(partition.diskMinor, 16u);
  EXPECT_EQ(partition.linuxNumber, 0u);
}

TEST_F(FindBlockPartitionTest, UnknownOrDamagedEntriesAreNotSupported) {
  BlockPartition partition;
  EXPECT_EQ(FindBlockPartition(sysfs_.path().string(), 8, 99, partition), kErrorNotSupported);
  sysfs_.WriteFile("devices/pci0000:00/block/sdb/sdb2/partition", "two\n");
  EXPECT_EQ(FindBlockPartition(sysfs_.path().string(), 8, 18, partition), kErrorNotSupported);
}

}  // namespace
}  // namespace skerry

#endif  // _WIN32
