#pragma once
// The partition tables of a disk: the master boot record, the chain of
// extended boot records, and the GUID partition table that a protective
// master boot record announces. All sector arithmetic assumes 512-byte sectors.

#include <cstdint>
#include <string_view>
#include <vector>

#include "ntfs/partition_entry.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

inline constexpr uint32_t kDiskSectorSize = 512;
// A chain longer than this (a loop, or a damaged table) is cut off here.
inline constexpr uint32_t kMaxExtendedBootRecords = 50;

// Kind-mask bits: which partition type bytes are collected.
inline constexpr uint32_t kKindFat12 = 1;  // 0x01
inline constexpr uint32_t kKindFat16 = 2;  // 0x04, 0x06, 0x0E
inline constexpr uint32_t kKindFat32 = 4;  // 0x0B, 0x0C
inline constexpr uint32_t kKindNtfs = 8;   // 0x07
// With exactly this mask every used, non-extended entry of the master boot
// record is collected, whatever its type; extended boot records still
// contribute only the types above.
inline constexpr uint32_t kAllPartitionKinds = 15;

// Appends the disk's partitions to `list`: the master boot record's in table
// order, then the logical partitions in the order of the chain; or, on a disk
// whose master boot record holds a protective entry (0xEE), the used entries
// of its GUID partition table in array order.
ErrorCode ReadPartitionTable(DeviceOpener& opener, std::u16string_view physicalName,
                             std::vector<PartitionEntry>& list, uint32_t kindMask);

}  // namespace skerry
