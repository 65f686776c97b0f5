#pragma once

#include <cstdint>
#include <vector>

namespace skerry::disk_builder {

// The first sector of a FAT32 volume of `sectorCount` sectors: enough of one
// to be recognised as FAT32 (and as not NTFS) by anything that reads it. Only
// the boot sector is written; the file system behind it is not usable.
std::vector<uint8_t> Fat32BootSector(uint64_t startSector, uint64_t sectorCount);

}  // namespace skerry::disk_builder
