#pragma once

#include <cstdint>

#include "platform/bytes.h"
#include "platform/errors.h"

namespace skerry {

inline constexpr uint32_t kBootSectorSize = 512;

// Limits that a sound NTFS boot sector stays within; a value outside them
// would lead to absurd reads or allocations, so the volume is refused.
inline constexpr uint32_t kMinSectorSize = 512;
inline constexpr uint32_t kMaxSectorSize = 4096;
inline constexpr uint32_t kMaxClusterSize = 2 * 1024 * 1024;  // the largest NTFS allows
inline constexpr uint32_t kMinRecordSize = 256;
inline constexpr uint32_t kMaxRecordSize = 64 * 1024;

struct VolumeGeometry {
  uint32_t clusterSize = 0;
  uint32_t recordSize = 0;
  uint64_t mftCluster = 0;
};

// Reads the geometry from a partition's first sector. kErrorInvalidDrive when
// the sector is not an NTFS boot sector; kErrorInvalidParameter when its
// geometry is outside the limits above (sector size not a power of two from
// 512 to 4096, cluster size zero, not a power of two or above 2 MiB, record
// size not a power of two from 256 bytes to 64 KiB).
ErrorCode ReadGeometry(ByteView bootSector, VolumeGeometry& geometry);

}  // namespace skerry
