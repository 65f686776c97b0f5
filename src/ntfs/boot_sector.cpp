#include "ntfs/boot_sector.h"

#include <bit>

namespace skerry {
namespace {

constexpr size_t kOemId = 3;
constexpr size_t kBytesPerSector = 11;
constexpr size_t kSectorsPerCluster = 13;
constexpr size_t kMftCluster = 48;
constexpr size_t kClustersPerRecord = 64;

// Sectors per cluster up to 128 are stored as they are; larger clusters (from
// 128 KiB with 512-byte sectors) store the negated power of two, 0xF8 for 256.
uint64_t SectorsPerCluster(uint8_t stored) {
  if (stored <= 0x80) return stored;
  const unsigned shift = 256u - stored;
  return shift < 32 ? uint64_t{1} << shift : 0;
}

// A negative byte is the negated power of two of the record size (0xF6: 2^10);
// zero or positive counts clusters per record.
uint64_t RecordSize(uint8_t stored, uint32_t clusterSize) {
  const auto value = static_cast<int8_t>(stored);
  if (value < 0) return uint64_t{1} << ((-value) & 31);
  return uint64_t(value) * clusterSize;
}

}  // namespace

ErrorCode ReadGeometry(ByteView bootSector, VolumeGeometry& geometry) {
  if (!bootSector.Contains(0, kBootSectorSize)) return kErrorInvalidDrive;
  if (bootSector.le32(kOemId) != 0x5346544E) return kErrorInvalidDrive;  // "NTFS"

  const uint32_t sectorSize = bootSector.le16(kBytesPerSector);
  if (sectorSize < kMinSectorSize || sectorSize > kMaxSectorSize ||
      !std::has_single_bit(sectorSize)) {
    return kErrorInvalidParameter;
  }
  const uint64_t clusterSize = sectorSize * SectorsPerCluster(bootSector.u8(kSectorsPerCluster));
  if (clusterSize == 0 || clusterSize > kMaxClusterSize || !std::has_single_bit(clusterSize)) {
    return kErrorInvalidParameter;
  }
  const uint64_t recordSize =
      RecordSize(bootSector.u8(kClustersPerRecord), static_cast<uint32_t>(clusterSize));
  if (recordSize < kMinRecordSize || recordSize > kMaxRecordSize ||
      !std::has_single_bit(recordSize)) {
    return kErrorInvalidParameter;
  }
  geometry.clusterSize = static_cast<uint32_t>(clusterSize);
  geometry.recordSize = static_cast<uint32_t>(recordSize);
  geometry.mftCluster = bootSector.le64(kMftCluster);
  return kErrorSuccess;
}

}  // namespace skerry
