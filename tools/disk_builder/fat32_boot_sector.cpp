#include "fat32_boot_sector.h"

#include <cstring>

namespace skerry::disk_builder {
namespace {

void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> Fat32BootSector(uint64_t startSector, uint64_t sectorCount) {
  std::vector<uint8_t> sector(512, 0);
  const uint8_t jump[] = {0xEB, 0x58, 0x90};
  std::memcpy(sector.data(), jump, sizeof jump);
  std::memcpy(sector.data() + 3, "MSWIN4.1", 8);
  Put(sector, 11, 512, 2);  // bytes per sector
  sector[13] = 8;           // sectors per cluster
  Put(sector, 14, 32, 2);   // reserved sectors
  sector[16] = 2;           // FATs
  sector[21] = 0xF8;        // fixed disk
  Put(sector, 24, 63, 2);   // sectors per track
  Put(sector, 26, 255, 2);  // heads
  Put(sector, 28, startSector, 4);
  Put(sector, 32, sectorCount > 0xFFFFFFFF ? 0xFFFFFFFF : sectorCount, 4);
  Put(sector, 36, (sectorCount / 8 * 4 + 511) / 512, 4);  // sectors per FAT
  Put(sector, 44, 2, 4);                                  // root directory cluster
  Put(sector, 48, 1, 2);                                  // FSInfo sector
  Put(sector, 50, 6, 2);                                  // backup boot sector
  sector[64] = 0x80;
  sector[66] = 0x29;
  Put(sector, 67, 0x46415433, 4);  // volume serial
  std::memcpy(sector.data() + 71, "NO NAME    ", 11);
  std::memcpy(sector.data() + 82, "FAT32   ", 8);
  sector[510] = 0x55;
  sector[511] = 0xAA;
  return sector;
}

}  // namespace skerry::disk_builder
