#pragma once
// The partition list of a disk in Windows' numbering (partition n is entry
// n - 1): the master boot record's and the extended chain's partitions (see
// platform/mbr_partitions.h), or, on a disk whose master boot record holds a
// protective entry (0xEE), the used entries of its GUID partition table in
// array order. All sector arithmetic assumes 512-byte sectors.

#include <cstdint>
#include <string_view>
#include <vector>

#include "ntfs/partition_entry.h"
#include "platform/device.h"
#include "platform/errors.h"
#include "platform/mbr_partitions.h"

namespace skerry {

inline constexpr uint32_t kDiskSectorSize = 512;

struct PartitionTable {
  std::vector<PartitionEntry> partitions;
  bool guid = false;
  // Why the extended chain ended early, and where (see MbrLayout): a drive
  // whose partition number lies past that point fails with this code.
  ErrorCode chainEnd = kErrorSuccess;
  uint64_t chainEndSector = 0;
};

// Fails when the disk cannot be opened, its master boot record cannot be
// read, or its GUID partition table and the backup of it are both unusable.
ErrorCode ReadPartitionTable(DeviceOpener& opener, std::u16string_view physicalName,
                             PartitionTable& table);
ErrorCode ReadPartitionTable(BlockDevice& disk, PartitionTable& table);

}  // namespace skerry
