// The NTFS boot sector's geometry: whatever it holds, the geometry handed on
// stays within the named limits.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "fuzz_disk.h"
#include "ntfs/boot_sector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace skerry;
  VolumeGeometry geometry;
  if (ReadGeometry(ByteView(data, size), geometry) != kErrorSuccess) return 0;
  fuzz::Require(
      std::has_single_bit(geometry.clusterSize) && geometry.clusterSize <= kMaxClusterSize,
      "cluster size");
  fuzz::Require(std::has_single_bit(geometry.recordSize) && geometry.recordSize >= kMinRecordSize &&
                    geometry.recordSize <= kMaxRecordSize,
                "record size");
  return 0;
}
