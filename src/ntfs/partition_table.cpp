#include "ntfs/partition_table.h"

#include <memory>

#include "ntfs/gpt.h"

namespace skerry {

ErrorCode ReadPartitionTable(BlockDevice& disk, PartitionTable& table) {
  table = PartitionTable{};
  MbrLayout layout;
  if (ErrorCode error = ReadMbrLayout(disk, layout)) return error;
  if (layout.guidProtective) {
    // The master boot record only guards a GUID partition table: its entries
    // are not the disk's partitions.
    table.guid = true;
    return ReadGuidPartitionTable(disk, table.partitions);
  }
  for (const MbrPartition& found : layout.partitions) {
    PartitionEntry entry;
    entry.sectorCount = found.sectorCount;
    entry.startSector = found.startSector;
    entry.type = found.type;
    table.partitions.push_back(entry);
  }
  table.chainEnd = layout.chainEnd;
  table.chainEndSector = layout.chainEndSector;
  return kErrorSuccess;
}

ErrorCode ReadPartitionTable(DeviceOpener& opener, std::u16string_view physicalName,
                             PartitionTable& table) {
  table = PartitionTable{};
  ErrorCode error = kErrorSuccess;
  std::unique_ptr<BlockDevice> disk = opener.Open(physicalName, DeviceAccess::kRead, error);
  if (disk == nullptr) return error;
  return ReadPartitionTable(*disk, table);
}

}  // namespace skerry
