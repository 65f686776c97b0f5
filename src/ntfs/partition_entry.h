#pragma once

#include <cstdint>

namespace skerry {

inline constexpr uint16_t kPartitionKind = 1;
inline constexpr uint16_t kLinkKind = 2;

// One partition found in a disk's partition tables. Only startSector is read
// by the volume reader; the others are kept as the table holds them.
struct PartitionEntry {
  uint16_t cylinder = 0;  // low 8 bits of the starting cylinder
  uint16_t head = 0;
  uint16_t sector = 0;  // starting sector in bits 0-5, cylinder bits 8-9 in bits 6-7
  uint32_t sectorCount = 0;
  uint16_t kind = kPartitionKind;
  uint32_t startSector = 0;
  // The master boot record's type byte; 0 for a GUID partition.
  uint8_t type = 0;
  // A GUID partition whose first sector does not fit 32 bits keeps its place
  // in the list (the positions are the system's partition numbers), but no
  // volume can be mounted from it.
  bool startBeyond32Bits = false;
};

}  // namespace skerry
