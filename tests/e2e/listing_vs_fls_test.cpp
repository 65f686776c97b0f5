// `skerry d:` lists exactly the in-use records that The Sleuth Kit finds.

#include <gtest/gtest.h>

#include "device_directory.h"
#include "listing_comparison.h"
#include "sleuth_kit.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

constexpr int kNotSupported = 50;

// Lists partition `partition` (Windows' numbering) of `image` as drive D: and
// compares the result with fls on the same partition.
void ExpectListingMatchesFls(const std::string& image, int partition, uint64_t startSector) {
  DeviceDirectory devices;
  devices.AddDisk(1, image);
  devices.MapDrive('d', 1, partition);
  const ProcessResult result = devices.RunSkerry({"d:"});
  if (result.status == kNotSupported) {
    GTEST_SKIP() << "skerry cannot list a volume yet: " << result.err;
  }
  ASSERT_EQ(result.status, 0) << result.err;
  const ListingComparison comparison =
      CompareListing(result.out, "D:", RunFls(image, startSector),
                     [&](uint64_t record) { return RecordFileNames(image, startSector, record); });
  EXPECT_TRUE(comparison.matches) << comparison.report;
}

TEST(ListingVsFls, SampleDisk) {
  const TestDisk disk = BuildTestDisk("sample");
  ExpectListingMatchesFls(disk.image, 1, disk.NtfsPartition(1).startSector);
}

TEST(ListingVsFls, EdgeNamesDisk) {
  const TestDisk disk = BuildTestDisk("edge-names");
  ExpectListingMatchesFls(disk.image, 1, disk.NtfsPartition(1).startSector);
}

TEST(ListingVsFls, EverydayDisk) {
  const TestDisk disk = BuildTestDisk("everyday");
  ExpectListingMatchesFls(disk.image, 1, disk.NtfsPartition(1).startSector);
}

TEST(ListingVsFls, FragmentedMftDisk) {
  const TestDisk disk = BuildTestDisk("fragmented-mft");
  ExpectListingMatchesFls(disk.image, 1, disk.NtfsPartition(1).startSector);
}

// Windows numbers every logical partition, the chain's 0x83 one too, so the
// NTFS logical partition after it is partition 4.
TEST(ListingVsFls, LogicalPartitionAfterALinuxOne) {
  const TestDisk disk = BuildTestDisk("mbr-extended");
  ExpectListingMatchesFls(disk.image, 4, disk.NtfsPartition(3).startSector);
}

// Debian's forensics sample: an NTFS volume made elsewhere, with deleted directories.
TEST(ListingVsFls, DebianNtfsSample) {
  const std::string image = ForensicsSample("fs.ntfs");
  if (image.empty()) GTEST_SKIP() << "forensics-samples-ntfs is not installed";
  ExpectListingMatchesFls(image, 1, 2048);
}

// Its multi-file-system disk: NTFS is the fourth of four primary partitions.
TEST(ListingVsFls, DebianMultipleSampleFourthPartition) {
  const std::string image = ForensicsSample("fs.multiple");
  if (image.empty()) GTEST_SKIP() << "forensics-samples-multiple is not installed";
  ExpectListingMatchesFls(image, 4, 391168);
}

}  // namespace
}  // namespace skerry::e2e
