#pragma once
// Where each described partition lies on the disk, and the sectors of the
// partition tables (MBR, extended boot records, or GPT) that describe them.

#include <array>
#include <cstdint>
#include <vector>

#include "description.h"

namespace skerry::disk_builder {

struct PlacedPartition {
  const Partition* partition = nullptr;
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;
  uint64_t ebrSector = 0;  // logical partitions: their extended boot record
};

struct DiskLayout {
  uint64_t totalSectors = 0;
  std::vector<PlacedPartition> placed;  // in description order
};

struct SectorWrite {
  uint64_t sector = 0;
  std::vector<uint8_t> bytes;  // whole sectors
};

// Places every partition; an image partition without size= takes its file's
// size rounded up to whole sectors. Throws DescriptionError on overlaps,
// partitions past the end of the disk, or values an MBR cannot hold.
DiskLayout PlanLayout(const DiskDescription& disk);

// The table sectors: MBR and extended boot records, or the protective MBR,
// both GPT headers and both entry arrays.
std::vector<SectorWrite> PartitionTableSectors(const DiskDescription& disk,
                                               const DiskLayout& layout);

// GUID text in its usual form to its 16 on-disk bytes (first three fields little-endian).
std::array<uint8_t, 16> GuidBytes(const std::string& text);

}  // namespace skerry::disk_builder
