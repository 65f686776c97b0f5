#pragma once
// The partitions of a master boot record and of the chain of extended boot
// records behind it, in the order Windows numbers them: every used,
// non-extended entry of the master boot record in slot order (an empty slot
// is passed over; an entry after the extended one keeps its place), then every
// logical partition of the chain in chain order, whatever its type. The drive
// resolution reads its partition list from here, and the POSIX backend
// translates Linux's partition numbers into Windows' with the same list, so
// the two cannot disagree. All sector arithmetic assumes 512-byte sectors.

#include <cstdint>
#include <vector>

#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

inline constexpr uint32_t kMbrSectorSize = 512;
// A chain longer than this is cut off here; a loop ends at its first repeat.
inline constexpr uint32_t kMaxExtendedBootRecords = 50;
inline constexpr uint8_t kTypeGptProtective = 0xEE;

struct MbrPartition {
  uint8_t type = 0;
  uint32_t startSector = 0;  // from the start of the disk (32-bit sums, as the tables hold)
  uint32_t sectorCount = 0;
  bool logical = false;
  uint32_t slot = 0;  // a primary partition's slot in the master boot record, 0 to 3
};

struct MbrLayout {
  std::vector<MbrPartition> partitions;
  // An entry of type 0xEE: the disk's partitions are those of its GUID table.
  bool guidProtective = false;
  // Why the extended chain ended before a record that ended it: 0 when none
  // did; kErrorDiskCorrupt for a record met a second time (a loop);
  // kErrorReadFault for a record beyond the disk's end; a read's own code.
  // The partitions found before that point stay in the list.
  ErrorCode chainEnd = kErrorSuccess;
  uint64_t chainEndSector = 0;  // the record that could not be used
};

// Reads the master boot record at the start of `disk` and the extended chain
// of its first extended entry (0x05 or 0x0F, the types Windows follows).
// Fails only when the master boot record cannot be read; a short read of it
// leaves the rest zero, which reads as empty slots.
ErrorCode ReadMbrLayout(BlockDevice& disk, MbrLayout& layout);

}  // namespace skerry
