#include "support/partition_builder.h"

#include <cstring>

#include "ntfs/crc32.h"
#include "platform/bytes.h"

namespace skerry::test {

std::array<uint8_t, 512> PartitionSector(const std::vector<TableEntry>& entries) {
  std::array<uint8_t, 512> sector{};
  for (size_t i = 0; i < entries.size() && i < 4; ++i) {
    uint8_t* entry = sector.data() + 446 + 16 * i;
    entry[4] = entries[i].type;
    StoreLe32(entry + 8, entries[i].start);
    StoreLe32(entry + 12, entries[i].count);
  }
  sector[510] = 0x55;
  sector[511] = 0xAA;
  return sector;
}

void WriteGpt(DiskImage& disk, const std::vector<GptPartition>& partitions, uint32_t entryCount,
              uint64_t backupLba) {
  disk.WriteSector(0, PartitionSector({{0xEE, 1, 0xFFFFFFFF}}));

  const uint32_t entrySize = 128;
  std::vector<uint8_t> array(size_t{entryCount} * entrySize);
  for (size_t i = 0; i < partitions.size() && i < entryCount; ++i) {
    uint8_t* entry = array.data() + i * entrySize;
    if (partitions[i].used) {
      for (int b = 0; b < 16; ++b) entry[b] = static_cast<uint8_t>(0xA0 + b);  // type GUID
      entry[16] = static_cast<uint8_t>(i + 1);                                 // unique GUID
    }
    StoreLe64(entry + 32, partitions[i].firstLba);
    StoreLe64(entry + 40, partitions[i].lastLba);
  }

  auto header = [&](uint64_t myLba, uint64_t arrayLba) {
    std::array<uint8_t, 512> sector{};
    std::memcpy(sector.data(), "EFI PART", 8);
    StoreLe32(sector.data() + 8, 0x00010000);
    StoreLe32(sector.data() + 12, 92);
    StoreLe64(sector.data() + 24, myLba);
    StoreLe64(sector.data() + 72, arrayLba);
    StoreLe32(sector.data() + 80, entryCount);
    StoreLe32(sector.data() + 84, entrySize);
    StoreLe32(sector.data() + kGptArrayCrc, Crc32(ByteView(array.data(), array.size())));
    StoreLe32(sector.data() + kGptHeaderCrc, Crc32(ByteView(sector.data(), 92)));
    return sector;
  };
  disk.WriteSector(1, header(1, 2));
  disk.WriteSector(2, array);
  if (backupLba != 0) {
    const uint64_t arraySectors = (array.size() + 511) / 512;
    disk.WriteSector(backupLba - arraySectors, array);
    disk.WriteSector(backupLba, header(backupLba, backupLba - arraySectors));
  }
}

}  // namespace skerry::test
