#include "platform/mbr_partitions.h"

#include <algorithm>
#include <array>

#include "platform/bytes.h"

namespace skerry {
namespace {

constexpr size_t kFirstEntryOffset = 0x1BE;
constexpr size_t kEntrySize = 16;
constexpr size_t kEntriesPerTable = 4;

bool IsExtended(uint8_t type) { return type == 0x05 || type == 0x0F; }

using Sector = std::array<uint8_t, kMbrSectorSize>;

MbrPartition Decode(ByteView entry, uint32_t base, bool logical, uint32_t slot) {
  MbrPartition found;
  found.type = entry.u8(4);
  found.startSector = entry.le32(8) + base;
  found.sectorCount = entry.le32(12);
  found.logical = logical;
  found.slot = slot;
  return found;
}

ByteView Entry(const Sector& sector, size_t slot) {
  return ByteView(sector.data(), sector.size()).Sub(kFirstEntryOffset + kEntrySize * slot, kEntrySize);
}

void WalkChain(BlockDevice& disk, uint32_t extendedBase, MbrLayout& layout) {
  // The master boot record is on the chain already: an extended partition
  // that starts at sector 0 would read the primary entries again as logical
  // partitions, and list their volumes twice.
  std::vector<uint32_t> visited{0};
  Sector sector{};
  uint32_t record = extendedBase;
  for (uint32_t step = 0; step < kMaxExtendedBootRecords; ++step) {
    if (std::find(visited.begin(), visited.end(), record) != visited.end()) {
      layout.chainEnd = kErrorDiskCorrupt;
      layout.chainEndSector = record;
      return;
    }
    visited.push_back(record);
    uint32_t got = 0;
    if (!disk.Seek(uint64_t{record} * kMbrSectorSize) ||
        !disk.Read(sector.data(), kMbrSectorSize, got)) {
      layout.chainEnd = disk.LastError();
      layout.chainEndSector = record;
      return;
    }
    if (got < kMbrSectorSize) {
      layout.chainEnd = kErrorReadFault;
      layout.chainEndSector = record;
      return;
    }
    // A logical partition starts relative to its own record; the link to the
    // next record is relative to the start of the extended partition.
    bool linked = false;
    uint32_t next = 0;
    for (size_t slot = 0; slot < kEntriesPerTable; ++slot) {
      const ByteView entry = Entry(sector, slot);
      const uint8_t type = entry.u8(4);
      if (type == 0) continue;
      if (IsExtended(type)) {
        if (!linked) next = extendedBase + entry.le32(8);
        linked = true;
        continue;
      }
      const MbrPartition logical = Decode(entry, record, true, static_cast<uint32_t>(slot));
      // A logical partition where another one starts would show that one's
      // volume under a second number: the chain is damaged there.
      const auto sameStart = [&](const MbrPartition& known) {
        return known.startSector == logical.startSector;
      };
      if (std::any_of(layout.partitions.begin(), layout.partitions.end(), sameStart)) {
        layout.chainEnd = kErrorDiskCorrupt;
        layout.chainEndSector = record;
        return;
      }
      layout.partitions.push_back(logical);
    }
    if (!linked) return;
    record = next;
  }
}

}  // namespace

ErrorCode ReadMbrLayout(BlockDevice& disk, MbrLayout& layout) {
  layout = MbrLayout{};
  Sector sector{};
  uint32_t got = 0;
  if (!disk.Seek(0) || !disk.Read(sector.data(), kMbrSectorSize, got)) return disk.LastError();

  bool haveExtended = false;
  uint32_t extendedBase = 0;
  for (size_t slot = 0; slot < kEntriesPerTable; ++slot) {
    const ByteView entry = Entry(sector, slot);
    const uint8_t type = entry.u8(4);
    if (type == 0) continue;
    if (type == kTypeGptProtective) layout.guidProtective = true;
    if (IsExtended(type)) {
      // Only the first extended partition is followed; a second one is a
      // container too, so it holds no volume of its own.
      if (!haveExtended) extendedBase = entry.le32(8);
      haveExtended = true;
      continue;
    }
    layout.partitions.push_back(Decode(entry, 0, false, static_cast<uint32_t>(slot)));
  }
  if (haveExtended && !layout.guidProtective) WalkChain(disk, extendedBase, layout);
  return kErrorSuccess;
}

}  // namespace skerry
