#include "ntfs/partition_table.h"

#include <array>
#include <memory>

#include "ntfs/gpt.h"
#include "platform/bytes.h"

namespace skerry {
namespace {

constexpr size_t kFirstEntryOffset = 0x1BE;
constexpr size_t kEntrySize = 16;
constexpr size_t kEntriesPerTable = 4;

constexpr uint8_t kTypeEmpty = 0x00;
constexpr uint8_t kTypeExtended = 0x05;
constexpr uint8_t kTypeExtendedLba = 0x0F;
constexpr uint8_t kTypeGptProtective = 0xEE;

bool KindSelects(uint8_t type, uint32_t kindMask, bool inMasterBootRecord) {
  switch (type) {
    case 0x01:
      return (kindMask & kKindFat12) != 0;
    case 0x04:
    case 0x06:
    case 0x0E:
      return (kindMask & kKindFat16) != 0;
    case 0x0B:
    case 0x0C:
      return (kindMask & kKindFat32) != 0;
    case 0x07:
      return (kindMask & kKindNtfs) != 0;
    default:
      return inMasterBootRecord && kindMask == kAllPartitionKinds;
  }
}

enum class ScanEnd { kAllEntries, kEmptyEntry, kLink };

struct TableScan {
  ScanEnd end = ScanEnd::kAllEntries;
  uint32_t linkValue = 0;  // the extended entry's starting sector, as stored
  bool protective = false;
};

// Scans the four entries of one table sector. `base` is added to the
// starting sector of every partition found (32-bit sums, as the tables are).
TableScan ScanTable(ByteView sector, uint32_t base, bool inMasterBootRecord, uint32_t kindMask,
                    std::vector<PartitionEntry>& list) {
  TableScan scan;
  for (size_t i = 0; i < kEntriesPerTable; ++i) {
    const ByteView entry = sector.Sub(kFirstEntryOffset + kEntrySize * i, kEntrySize);
    const uint8_t type = entry.u8(4);
    const uint32_t start = entry.le32(8);
    if (type == kTypeEmpty) {
      scan.end = ScanEnd::kEmptyEntry;
      return scan;
    }
    if (type == kTypeExtended || type == kTypeExtendedLba) {
      scan.end = ScanEnd::kLink;
      scan.linkValue = start;
      return scan;
    }
    if (type == kTypeGptProtective) scan.protective = true;
    if (KindSelects(type, kindMask, inMasterBootRecord)) {
      PartitionEntry found;
      found.head = entry.u8(1);
      found.sector = entry.u8(2);
      found.cylinder = entry.u8(3);
      found.sectorCount = entry.le32(12);
      found.kind = kPartitionKind;
      found.startSector = start + base;
      list.push_back(found);
    }
  }
  return scan;
}

ErrorCode WalkExtendedChain(BlockDevice& disk, uint32_t extendedBase, uint32_t kindMask,
                            std::vector<PartitionEntry>& list) {
  std::array<uint8_t, kDiskSectorSize> sector{};
  uint32_t link = extendedBase;
  for (uint32_t step = 0; step < kMaxExtendedBootRecords; ++step) {
    if (!disk.Seek(uint64_t{link} * kDiskSectorSize)) return disk.LastError();
    uint32_t got = 0;
    if (!disk.Read(sector.data(), kDiskSectorSize, got)) return disk.LastError();
    if (got < kDiskSectorSize) return kErrorReadFault;
    // Logical partitions start relative to their own extended boot record,
    // which lies at (extended base + its offset); links are relative to the base.
    const uint32_t offset = link - extendedBase;
    const TableScan scan = ScanTable(ByteView(sector.data(), sector.size()), extendedBase + offset,
                                     false, kindMask, list);
    if (scan.end != ScanEnd::kLink) return kErrorSuccess;
    link = extendedBase + scan.linkValue;
  }
  return kErrorSuccess;
}

}  // namespace

ErrorCode ReadPartitionTable(DeviceOpener& opener, std::u16string_view physicalName,
                             std::vector<PartitionEntry>& list, uint32_t kindMask) {
  ErrorCode error = kErrorSuccess;
  std::unique_ptr<BlockDevice> disk = opener.Open(physicalName, DeviceAccess::kRead, error);
  if (disk == nullptr) return error;

  // A short read is not an error here: what was not read stays zero, so the
  // table then ends at its first empty entry.
  std::array<uint8_t, kDiskSectorSize> sector{};
  uint32_t got = 0;
  if (!disk->Read(sector.data(), kDiskSectorSize, got)) return disk->LastError();

  const size_t firstNew = list.size();
  const TableScan scan = ScanTable(ByteView(sector.data(), sector.size()), 0, true, kindMask, list);
  if (scan.protective) {
    // The master boot record only guards a GUID partition table: its entries
    // are not the disk's partitions.
    list.resize(firstNew);
    return ReadGuidPartitionTable(*disk, list);
  }
  if (scan.end != ScanEnd::kLink) return kErrorSuccess;
  return WalkExtendedChain(*disk, scan.linkValue, kindMask, list);
}

}  // namespace skerry
