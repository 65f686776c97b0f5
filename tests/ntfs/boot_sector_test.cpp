#include "ntfs/boot_sector.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace skerry {
namespace {

std::array<uint8_t, 512> BootSector(uint16_t bytesPerSector, uint8_t sectorsPerCluster,
                                    uint8_t clustersPerRecord, const char* oem = "NTFS    ") {
  std::array<uint8_t, 512> sector{};
  std::memcpy(sector.data() + 3, oem, 8);
  StoreLe16(sector.data() + 11, bytesPerSector);
  sector[13] = sectorsPerCluster;
  StoreLe64(sector.data() + 48, 786432);
  sector[64] = clustersPerRecord;
  return sector;
}

ErrorCode Geometry(const std::array<uint8_t, 512>& sector, VolumeGeometry& geometry) {
  return ReadGeometry(ByteView(sector.data(), sector.size()), geometry);
}

TEST(BootSector, SoundGeometries) {
  struct Case {
    uint16_t bytesPerSector;
    uint8_t sectorsPerCluster;
    uint8_t clustersPerRecord;
    uint32_t clusterSize;
    uint32_t recordSize;
  };
  const Case cases[] = {
      {512, 8, 0xF6, 4096, 1024},
      {512, 8, 0xF4, 4096, 4096},
      {4096, 1, 0xF6, 4096, 1024},
      {512, 1, 0xF6, 512, 1024},
      {512, 128, 0xF6, 65536, 1024},
      // From 128 KiB on, the sectors per cluster are a negated power of two.
      {512, 0xF8, 0xF6, 128 * 1024, 1024},
      {512, 0xF4, 0xF6, 2 * 1024 * 1024, 1024},
      // Zero or positive: clusters per record.
      {512, 1, 0x02, 512, 1024},
      {512, 8, 0x01, 4096, 4096},
      {512, 8, 0xF0, 4096, 65536},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytesPerSector << " " << int(c.sectorsPerCluster) << " "
                                    << int(c.clustersPerRecord));
    VolumeGeometry geometry;
    ASSERT_EQ(
        Geometry(BootSector(c.bytesPerSector, c.sectorsPerCluster, c.clustersPerRecord), geometry),
        kErrorSuccess);
    EXPECT_EQ(geometry.clusterSize, c.clusterSize);
    EXPECT_EQ(geometry.recordSize, c.recordSize);
    EXPECT_EQ(geometry.mftCluster, 786432u);
  }
}

TEST(BootSector, GeometryOutsideTheLimitsIsRefused) {
  struct Case {
    const char* what;
    uint16_t bytesPerSector;
    uint8_t sectorsPerCluster;
    uint8_t clustersPerRecord;
  };
  const Case cases[] = {
      {"sector of 256 bytes", 256, 8, 0xF6},
      {"sector of 1000 bytes", 1000, 8, 0xF6},
      {"sector of 8192 bytes", 8192, 8, 0xF6},
      {"no sectors per cluster", 512, 0, 0xF6},
      {"3 sectors per cluster", 512, 3, 0xF6},
      {"cluster of 4 MiB", 4096, 0xF6, 0xF6},
      {"sectors-per-cluster shift of 127", 512, 0x81, 0xF6},
      {"zero clusters per record", 512, 8, 0x00},
      {"record of 2 clusters of 64 KiB", 512, 128, 0x02},
      {"record of 3 clusters", 512, 1, 0x03},
      {"record of 1 byte (shift 32)", 512, 8, 0xE0},
      {"record of 128 bytes", 512, 8, 0xF9},
      {"record of 128 KiB", 512, 8, 0xEF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VolumeGeometry geometry;
    EXPECT_EQ(
        Geometry(BootSector(c.bytesPerSector, c.sectorsPerCluster, c.clustersPerRecord), geometry),
        kErrorInvalidParameter);
  }
}

TEST(BootSector, OtherFileSystemsAreNotNtfs) {
  VolumeGeometry geometry;
  EXPECT_EQ(Geometry(BootSector(512, 8, 0xF6, "MSDOS5.0"), geometry), kErrorInvalidDrive);
  EXPECT_EQ(Geometry(BootSector(512, 8, 0xF6, "EXFAT   "), geometry), kErrorInvalidDrive);
  EXPECT_EQ(Geometry(std::array<uint8_t, 512>{}, geometry), kErrorInvalidDrive);
}

}  // namespace
}  // namespace skerry
