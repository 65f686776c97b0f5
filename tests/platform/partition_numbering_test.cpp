#ifndef _WIN32

#include "platform/posix/partition_numbering.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "platform/scratch_directory.h"

namespace skerry {
namespace {

std::array<uint8_t, 512> MasterBootRecord(std::array<uint8_t, 4> types) {
  std::array<uint8_t, 512> sector{};
  for (size_t i = 0; i < 4; ++i) sector[0x1BE + 16 * i + 4] = types[i];
  sector[510] = 0x55;
  sector[511] = 0xAA;
  return sector;
}

TEST(WindowsPartitionNumberTest, CountsUsedNonExtendedEntriesThenLogicalPartitions) {
  struct Case {
    std::array<uint8_t, 4> types;
    uint32_t linuxNumber;
    ErrorCode error;
    uint32_t windowsNumber;
  };
  const Case cases[] = {
      {{0x07, 0x07, 0x00, 0x00}, 1, kErrorSuccess, 1},
      {{0x07, 0x07, 0x00, 0x00}, 2, kErrorSuccess, 2},
      {{0x00, 0x07, 0x00, 0x07}, 4, kErrorSuccess, 2},  // empty slots are not counted
      {{0x07, 0x05, 0x07, 0x00}, 3, kErrorSuccess, 2},  // nor is the extended one
      {{0x07, 0x0F, 0x00, 0x00}, 5, kErrorSuccess, 2},  // first logical partition
      {{0x07, 0x0F, 0x00, 0x00}, 7, kErrorSuccess, 4},
      {{0x83, 0x85, 0x07, 0x00}, 6, kErrorSuccess, 4},
      {{0x07, 0x05, 0x00, 0x00}, 2, kErrorNotSupported, 0},  // the extended container
      {{0x07, 0x00, 0x00, 0x00}, 3, kErrorNotSupported, 0},  // an empty slot
      {{0x07, 0x00, 0x00, 0x00}, 0, kErrorNotSupported, 0},
      {{0xEE, 0x00, 0x00, 0x00}, 9, kErrorSuccess, 9},  // GPT: the array slot
      {{0x07, 0x0F, 0x00, 0x00}, 4294967295u, kErrorSuccess, 4294967292u},
  };
  for (const Case& c : cases) {
    auto sector = MasterBootRecord(c.types);
    uint32_t windowsNumber = 0;
    ErrorCode error = WindowsPartitionNumber(ByteView(sector.data(), sector.size()), c.linuxNumber,
                                             windowsNumber);
    EXPECT_EQ(error, c.error) << c.linuxNumber;
    if (error == kErrorSuccess) {
      EXPECT_EQ(windowsNumber, c.windowsNumber) << c.linuxNumber;
    }
  }
}

TEST(WindowsPartitionNumberTest, ShortSectorIsRefused) {
  std::array<uint8_t, 100> sector{};
  uint32_t windowsNumber = 0;
  EXPECT_EQ(WindowsPartitionNumber(ByteView(sector.data(), sector.size()), 1, windowsNumber),
            kErrorNotSupported);
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
