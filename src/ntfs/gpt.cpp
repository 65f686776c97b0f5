#include "ntfs/gpt.h"

#include <array>
#include <cstring>

#include "ntfs/checked_arithmetic.h"
#include "ntfs/crc32.h"
#include "ntfs/partition_table.h"
#include "ntfs/read_exactly.h"
#include "platform/bytes.h"

namespace skerry {
namespace {

constexpr uint64_t kHeaderLba = 1;
constexpr char kSignature[] = "EFI PART";
constexpr size_t kSignatureSize = 8;
// The header's own fields end at byte 92; what lies beyond it up to the
// header size is covered by the CRC too, but the header fits one sector.
constexpr uint32_t kMinHeaderSize = 92;
constexpr uint32_t kMinEntrySize = 128;

constexpr size_t kHeaderSizeField = 12;
constexpr size_t kHeaderCrcField = 16;
constexpr size_t kMyLbaField = 24;
constexpr size_t kArrayLbaField = 72;
constexpr size_t kEntryCountField = 80;
constexpr size_t kEntrySizeField = 84;
constexpr size_t kArrayCrcField = 88;

constexpr size_t kEntryFirstLba = 32;
constexpr size_t kEntryLastLba = 40;
constexpr size_t kTypeGuidSize = 16;

ErrorCode ReadAt(BlockDevice& disk, uint64_t lba, uint8_t* buffer, uint32_t count) {
  uint64_t offset = 0;
  if (!CheckedMultiply(lba, kDiskSectorSize, offset)) return kErrorArithmeticOverflow;
  if (!disk.Seek(offset)) return disk.LastError();
  return ReadExactly(disk, buffer, count);
}

bool IsUnused(ByteView entry) {
  for (size_t i = 0; i < kTypeGuidSize; ++i) {
    if (entry.u8(i) != 0) return false;
  }
  return true;
}

PartitionEntry MakeEntry(ByteView entry) {
  const uint64_t first = entry.le64(kEntryFirstLba);
  const uint64_t last = entry.le64(kEntryLastLba);
  PartitionEntry found;
  found.startBeyond32Bits = first > UINT32_MAX;
  found.startSector = found.startBeyond32Bits ? 0 : static_cast<uint32_t>(first);
  // The count is only informative; a partition of 2 TiB or more saturates it.
  const uint64_t count = last >= first ? last - first + 1 : 0;
  found.sectorCount = count > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(count);
  return found;
}

bool SectorExists(BlockDevice& disk, uint64_t lba) {
  std::array<uint8_t, kDiskSectorSize> sector{};
  uint32_t got = 0;
  return disk.Seek(lba * kDiskSectorSize) && disk.Read(sector.data(), kDiskSectorSize, got) &&
         got == kDiskSectorSize;
}

// The disk's last sector, found by reading: the reading interface knows no
// size, and a disk image, a block device and a Windows disk all end where
// reading stops. About two reads per bit of the disk's size.
bool FindLastSector(BlockDevice& disk, uint64_t& last) {
  constexpr uint64_t kLimit = uint64_t{1} << 54;  // sectors whose byte offset fits 63 bits
  if (!SectorExists(disk, 0)) return false;
  uint64_t present = 0;
  uint64_t absent = 1;
  while (absent < kLimit && SectorExists(disk, absent)) {
    present = absent;
    absent *= 2;
  }
  if (absent >= kLimit) return false;
  while (absent - present > 1) {
    const uint64_t middle = present + (absent - present) / 2;
    (SectorExists(disk, middle) ? present : absent) = middle;
  }
  last = present;
  return true;
}

// The header at `headerLba` and its entry array, appended to `list` only when
// both pass their checks.
ErrorCode ReadTableAt(BlockDevice& disk, uint64_t headerLba, std::vector<PartitionEntry>& list) {
  std::array<uint8_t, kDiskSectorSize> header{};
  if (ErrorCode error = ReadAt(disk, headerLba, header.data(), kDiskSectorSize)) return error;
  const ByteView view(header.data(), header.size());
  if (std::memcmp(header.data(), kSignature, kSignatureSize) != 0) return kErrorDiskCorrupt;

  const uint32_t headerSize = view.le32(kHeaderSizeField);
  if (headerSize < kMinHeaderSize || headerSize > kDiskSectorSize) return kErrorDiskCorrupt;
  const uint32_t headerCrc = view.le32(kHeaderCrcField);
  std::array<uint8_t, kDiskSectorSize> zeroedCrc = header;
  StoreLe32(zeroedCrc.data() + kHeaderCrcField, 0);
  if (Crc32(ByteView(zeroedCrc.data(), headerSize)) != headerCrc) return kErrorCrc;
  // A header that says it lies elsewhere is a stray copy, not this disk's.
  if (headerLba != kHeaderLba && view.le64(kMyLbaField) != headerLba) return kErrorDiskCorrupt;

  const uint64_t arrayLba = view.le64(kArrayLbaField);
  const uint32_t entryCount = view.le32(kEntryCountField);
  const uint32_t entrySize = view.le32(kEntrySizeField);
  if (entrySize < kMinEntrySize || entrySize % 8 != 0) return kErrorDiskCorrupt;
  uint64_t arrayBytes = 0;
  if (!CheckedMultiply(entryCount, entrySize, arrayBytes) || arrayBytes > kMaxGptArrayBytes) {
    return kErrorDiskCorrupt;
  }

  // Disks are read in whole sectors; the CRC covers the entries alone.
  const uint64_t sectorBytes =
      (arrayBytes + kDiskSectorSize - 1) / kDiskSectorSize * kDiskSectorSize;
  std::vector<uint8_t> array(sectorBytes);
  if (ErrorCode error = ReadAt(disk, arrayLba, array.data(), static_cast<uint32_t>(sectorBytes))) {
    return error;
  }
  const ByteView entries(array.data(), arrayBytes);
  if (Crc32(entries) != view.le32(kArrayCrcField)) return kErrorCrc;

  for (uint32_t i = 0; i < entryCount; ++i) {
    const ByteView entry = entries.Sub(uint64_t{i} * entrySize, entrySize);
    if (!IsUnused(entry)) list.push_back(MakeEntry(entry));
  }
  return kErrorSuccess;
}

}  // namespace

ErrorCode ReadGuidPartitionTable(BlockDevice& disk, std::vector<PartitionEntry>& list) {
  const size_t before = list.size();
  const ErrorCode primary = ReadTableAt(disk, kHeaderLba, list);
  if (primary == kErrorSuccess) return kErrorSuccess;
  list.resize(before);
  // Every system reads the backup table at the disk's last sector when the
  // primary one fails its checks; only when both fail is the disk refused,
  // with the primary table's code.
  uint64_t last = 0;
  if (!FindLastSector(disk, last) || last <= kHeaderLba) return primary;
  if (ReadTableAt(disk, last, list) == kErrorSuccess) return kErrorSuccess;
  list.resize(before);
  return primary;
}

}  // namespace skerry
