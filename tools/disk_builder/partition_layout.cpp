#include "partition_layout.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "crc32.h"

namespace skerry::disk_builder {
namespace {

constexpr uint64_t kAlignment = 2048;  // 1 MiB, as partitioning tools place partitions
constexpr uint64_t kGptEntryCount = 128;
constexpr uint64_t kGptEntrySize = 128;
constexpr uint64_t kGptEntrySectors = kGptEntryCount * kGptEntrySize / kSectorSize;  // 32
constexpr uint64_t kMbrEntryOffset = 446;
constexpr uint64_t kMaxMbrValue = 0xFFFFFFFF;

uint64_t AlignUp(uint64_t value) { return (value + kAlignment - 1) / kAlignment * kAlignment; }

std::string Where(const Partition& partition) {
  return "line " + std::to_string(partition.line) + ": ";
}

void Put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  for (int i = 0; i < 2; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
void Put64(std::vector<uint8_t>& bytes, size_t offset, uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Cylinder/head/sector of an LBA on the customary 255-head, 63-sector geometry,
// saturated at the largest address CHS can hold.
void PutChs(std::vector<uint8_t>& bytes, size_t offset, uint64_t lba) {
  uint64_t cylinder = lba / (255 * 63);
  uint64_t head = (lba / 63) % 255;
  uint64_t sector = lba % 63 + 1;
  if (cylinder > 1023) {
    cylinder = 1023;
    head = 254;
    sector = 63;
  }
  bytes[offset] = static_cast<uint8_t>(head);
  bytes[offset + 1] = static_cast<uint8_t>((sector & 0x3F) | ((cylinder >> 2) & 0xC0));
  bytes[offset + 2] = static_cast<uint8_t>(cylinder & 0xFF);
}

// One 16-byte table entry; `relativeStart` is what the entry stores.
void PutMbrEntry(std::vector<uint8_t>& sector, int index, uint8_t type, uint64_t absoluteStart,
                 uint64_t relativeStart, uint64_t count) {
  const size_t offset = kMbrEntryOffset + 16 * static_cast<size_t>(index);
  sector[offset] = 0x00;
  PutChs(sector, offset + 1, absoluteStart);
  sector[offset + 4] = type;
  PutChs(sector, offset + 5, absoluteStart + (count ? count - 1 : 0));
  Put32(sector, offset + 8, static_cast<uint32_t>(relativeStart));
  Put32(sector, offset + 12, static_cast<uint32_t>(count));
}

std::vector<uint8_t> EmptyTableSector(uint32_t signature) {
  std::vector<uint8_t> sector(kSectorSize, 0);
  Put32(sector, 440, signature);
  sector[510] = 0x55;
  sector[511] = 0xAA;
  return sector;
}

// A deterministic GUID per disk and purpose, marked as a random (version 4) GUID.
std::array<uint8_t, 16> DerivedGuid(uint32_t signature, uint64_t purpose) {
  std::array<uint8_t, 16> guid{};
  uint64_t state = (uint64_t{signature} << 20) ^ (purpose * 0x9E3779B97F4A7C15ull);
  for (int half = 0; half < 2; ++half) {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (int i = 0; i < 8; ++i) guid[half * 8 + i] = static_cast<uint8_t>(z >> (8 * i));
  }
  guid[7] = static_cast<uint8_t>((guid[7] & 0x0F) | 0x40);
  guid[8] = static_cast<uint8_t>((guid[8] & 0x3F) | 0x80);
  return guid;
}

void CheckNoOverlap(const DiskLayout& layout, const PlacedPartition& candidate) {
  for (const PlacedPartition& other : layout.placed) {
    // Logical partitions lie inside their extended partition by construction.
    const bool nested = other.partition->role == PartitionRole::kExtended &&
                        candidate.partition->role == PartitionRole::kLogical;
    if (nested) continue;
    const uint64_t candidateEnd = candidate.startSector + candidate.sectorCount;
    const uint64_t otherEnd = other.startSector + other.sectorCount;
    if (candidate.startSector < otherEnd && other.startSector < candidateEnd) {
      throw DescriptionError(Where(*candidate.partition) + "overlaps the partition of line " +
                             std::to_string(other.partition->line));
    }
  }
}

uint64_t SectorsOf(const Partition& partition) {
  if (partition.sectorCount) return *partition.sectorCount;
  std::error_code error;
  const uint64_t bytes = std::filesystem::file_size(partition.imagePath, error);
  if (error) throw DescriptionError(Where(partition) + "cannot read " + partition.imagePath);
  return (bytes + kSectorSize - 1) / kSectorSize;
}

std::vector<SectorWrite> MbrSectors(const DiskDescription& disk, const DiskLayout& layout) {
  std::vector<SectorWrite> writes;
  std::vector<uint8_t> mbr = EmptyTableSector(disk.signature);
  int entry = 0;
  const PlacedPartition* extended = nullptr;
  std::vector<const PlacedPartition*> logicals;
  for (const PlacedPartition& placed : layout.placed) {
    const Partition& partition = *placed.partition;
    if (partition.role == PartitionRole::kLogical) {
      logicals.push_back(&placed);
      continue;
    }
    if (partition.role == PartitionRole::kExtended) extended = &placed;
    PutMbrEntry(mbr, entry++, partition.type, placed.startSector, placed.startSector,
                placed.sectorCount);
  }
  writes.push_back({0, std::move(mbr)});
  if (!extended) return writes;

  if (logicals.empty()) {
    // An empty first EBR ends the chain where it starts.
    writes.push_back({extended->startSector, EmptyTableSector(0)});
    return writes;
  }
  for (size_t i = 0; i < logicals.size(); ++i) {
    const PlacedPartition& logical = *logicals[i];
    std::vector<uint8_t> ebr = EmptyTableSector(0);
    PutMbrEntry(ebr, 0, logical.partition->type, logical.startSector,
                logical.startSector - logical.ebrSector, logical.sectorCount);
    if (i + 1 < logicals.size()) {
      const PlacedPartition& next = *logicals[i + 1];
      const uint64_t span = next.startSector + next.sectorCount - next.ebrSector;
      PutMbrEntry(ebr, 1, extended->partition->type, next.ebrSector,
                  next.ebrSector - extended->startSector, span);
    }
    writes.push_back({logical.ebrSector, std::move(ebr)});
  }
  return writes;
}

std::vector<uint8_t> GptHeader(const DiskDescription& disk, uint64_t totalSectors, bool primary,
                               uint32_t entriesCrc) {
  const uint64_t last = totalSectors - 1;
  std::vector<uint8_t> header(kSectorSize, 0);
  const char signature[] = "EFI PART";
  for (int i = 0; i < 8; ++i) header[i] = static_cast<uint8_t>(signature[i]);
  Put32(header, 8, 0x00010000);
  Put32(header, 12, 92);
  Put64(header, 24, primary ? 1 : last);
  Put64(header, 32, primary ? last : 1);
  Put64(header, 40, 2 + kGptEntrySectors);
  Put64(header, 48, last - 1 - kGptEntrySectors);
  const std::array<uint8_t, 16> diskGuid = DerivedGuid(disk.signature, 0);
  for (int i = 0; i < 16; ++i) header[56 + i] = diskGuid[i];
  Put64(header, 72, primary ? 2 : last - kGptEntrySectors);
  Put32(header, 80, static_cast<uint32_t>(kGptEntryCount));
  Put32(header, 84, static_cast<uint32_t>(kGptEntrySize));
  Put32(header, 88, entriesCrc);
  Put32(header, 16, Crc32(header.data(), 92));
  return header;
}

std::vector<SectorWrite> GptSectors(const DiskDescription& disk, const DiskLayout& layout) {
  std::vector<SectorWrite> writes;
  std::vector<uint8_t> protective = EmptyTableSector(0);
  const uint64_t covered = std::min<uint64_t>(layout.totalSectors - 1, kMaxMbrValue);
  PutMbrEntry(protective, 0, 0xEE, 1, 1, covered);
  writes.push_back({0, std::move(protective)});

  std::vector<uint8_t> entries(kGptEntryCount * kGptEntrySize, 0);
  for (size_t i = 0; i < layout.placed.size(); ++i) {
    const PlacedPartition& placed = layout.placed[i];
    const size_t offset = i * kGptEntrySize;
    const std::array<uint8_t, 16> type = GuidBytes(placed.partition->gptType);
    const std::array<uint8_t, 16> unique = DerivedGuid(disk.signature, i + 1);
    for (int b = 0; b < 16; ++b) {
      entries[offset + b] = type[b];
      entries[offset + 16 + b] = unique[b];
    }
    Put64(entries, offset + 32, placed.startSector);
    Put64(entries, offset + 40, placed.startSector + placed.sectorCount - 1);
    // The name is UTF-16; descriptions give ASCII names, widened one to one.
    const std::string& name = placed.partition->gptName;
    for (size_t c = 0; c < name.size() && c < 36; ++c) {
      Put16(entries, offset + 56 + 2 * c, static_cast<uint8_t>(name[c]));
    }
  }
  const uint32_t entriesCrc = Crc32(entries.data(), entries.size());
  const uint64_t last = layout.totalSectors - 1;
  writes.push_back({1, GptHeader(disk, layout.totalSectors, true, entriesCrc)});
  writes.push_back({2, entries});
  writes.push_back({last - kGptEntrySectors, entries});
  writes.push_back({last, GptHeader(disk, layout.totalSectors, false, entriesCrc)});
  return writes;
}

}  // namespace

std::array<uint8_t, 16> GuidBytes(const std::string& text) {
  auto hex = [&](size_t at) {
    auto digit = [&](char c) -> unsigned {
      if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
      if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
      if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
      throw DescriptionError("bad GUID " + text);
    };
    return static_cast<uint8_t>(digit(text.at(at)) * 16 + digit(text.at(at + 1)));
  };
  if (text.size() != 36) throw DescriptionError("bad GUID " + text);
  std::array<uint8_t, 16> bytes{};
  // Text order of the first three fields is big-endian; on disk they are little-endian.
  const size_t order[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 16; ++i) bytes[i] = hex(order[i]);
  return bytes;
}

DiskLayout PlanLayout(const DiskDescription& disk) {
  DiskLayout layout;
  layout.totalSectors = disk.sizeBytes / kSectorSize;
  const bool gpt = disk.table == TableKind::kGpt;
  const uint64_t firstUsable = gpt ? 2 + kGptEntrySectors : 1;
  const uint64_t endUsable = gpt ? layout.totalSectors - 1 - kGptEntrySectors : layout.totalSectors;
  uint64_t cursor = kAlignment;
  uint64_t logicalCursor = 0;
  size_t extendedIndex = 0;
  int mbrEntries = 0;

  for (const Partition& partition : disk.partitions) {
    PlacedPartition placed;
    placed.partition = &partition;
    placed.sectorCount = SectorsOf(partition);
    if (placed.sectorCount == 0) throw DescriptionError(Where(partition) + "empty partition");
    if (partition.role == PartitionRole::kLogical) {
      placed.ebrSector = logicalCursor;
      placed.startSector = logicalCursor + partition.gapSectors;
      const PlacedPartition& extended = layout.placed[extendedIndex];
      const uint64_t extendedEnd = extended.startSector + extended.sectorCount;
      if (placed.startSector + placed.sectorCount > extendedEnd) {
        throw DescriptionError(Where(partition) + "does not fit in the extended partition");
      }
      logicalCursor = placed.startSector + placed.sectorCount;
    } else {
      if (!gpt && ++mbrEntries > 4) {
        throw DescriptionError(Where(partition) + "an MBR holds four entries");
      }
      placed.startSector = partition.startSector ? *partition.startSector : AlignUp(cursor);
      if (placed.startSector < firstUsable) {
        throw DescriptionError(Where(partition) + "starts inside the partition table");
      }
      cursor = placed.startSector + placed.sectorCount;
    }
    if (placed.startSector + placed.sectorCount > endUsable) {
      throw DescriptionError(Where(partition) + "ends past the usable end of the disk");
    }
    if (!gpt && (placed.startSector > kMaxMbrValue || placed.sectorCount > kMaxMbrValue)) {
      throw DescriptionError(Where(partition) + "too large for an MBR entry");
    }
    CheckNoOverlap(layout, placed);
    layout.placed.push_back(placed);
    if (partition.role == PartitionRole::kExtended) {
      extendedIndex = layout.placed.size() - 1;
      logicalCursor = placed.startSector;
    }
  }
  return layout;
}

std::vector<SectorWrite> PartitionTableSectors(const DiskDescription& disk,
                                               const DiskLayout& layout) {
  return disk.table == TableKind::kGpt ? GptSectors(disk, layout) : MbrSectors(disk, layout);
}

}  // namespace skerry::disk_builder
