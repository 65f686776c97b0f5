#pragma once

#include <cstdint>

namespace skerry {

// One partition found in a disk's partition tables. The volume reader needs
// only startSector; a count of 0 holds no volume, and the count and the type
// describe the partition in messages.
struct PartitionEntry {
  uint32_t sectorCount = 0;
  uint32_t startSector = 0;
  // The master boot record's type byte; 0 for a GUID partition.
  uint8_t type = 0;
  // A GUID partition whose first sector does not fit 32 bits keeps its place
  // in the list (the positions are the system's partition numbers), but no
  // volume can be mounted from it.
  bool startBeyond32Bits = false;
};

}  // namespace skerry
