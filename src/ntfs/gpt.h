#pragma once

#include <vector>

#include "ntfs/partition_entry.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

// The largest partition entry array read: the usual one is 16 KiB (128
// entries of 128 bytes); a header that claims more than this is damaged.
inline constexpr uint32_t kMaxGptArrayBytes = 1024 * 1024;

// Reads the GUID partition table whose header lies in sector 1 and appends
// its used entries (non-zero type GUID), in array order. When that header or
// its entry array fails a check, the backup header in the disk's last sector
// and its array are read instead. Failures, when both fail (the primary
// table's code): kErrorDiskCorrupt when the header has no "EFI PART"
// signature or impossible sizes; kErrorCrc when the header's or the entry
// array's CRC-32 is wrong; kErrorArithmeticOverflow when the array's position
// does not fit 64 bits; a read's own code (kErrorHandleEof when the disk ends
// too early).
ErrorCode ReadGuidPartitionTable(BlockDevice& disk, std::vector<PartitionEntry>& list);

}  // namespace skerry
