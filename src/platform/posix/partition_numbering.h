#pragma once
// Answers the device-number query for a volume that is a Linux partition
// block device (/dev/sdb2): which disk holds it, and the number that Windows
// would give the partition.

#include <cstdint>
#include <string>

#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

struct BlockPartition {
  unsigned diskMajor = 0;
  unsigned diskMinor = 0;
  uint32_t linuxNumber = 0;  // 0 when the device is a whole disk
};

// Looks the block device major:minor up under `sysfsRoot` (normally /sys):
// dev/block/MAJ:MIN/partition holds the partition's number and the directory
// above it is the disk, whose dev file holds the disk's major:minor.
ErrorCode FindBlockPartition(const std::string& sysfsRoot, unsigned major, unsigned minor,
                             BlockPartition& partition);

// Windows' number for Linux partition `linuxNumber` (1 or more) of `disk`.
// Both come from the one partition list of platform/mbr_partitions.h: Linux
// numbers the four primary slots 1 to 4, used or not, and the logical
// partitions of non-zero length from 5 in chain order; Windows' number is the
// partition's place in that list. On a GPT disk (a protective entry of type
// 0xEE) Linux's number is the slot in the partition array, which is Windows'
// number as long as no slot before it is empty: that case cannot be told
// apart from here and is not corrected. kErrorNotSupported when the number
// names no partition Windows would count (an empty or extended slot, a
// logical partition past a loop or the end of the chain); the master boot
// record's read error when it cannot be read.
ErrorCode WindowsPartitionNumber(BlockDevice& disk, uint32_t linuxNumber,
                                 uint32_t& windowsNumber);

}  // namespace skerry
