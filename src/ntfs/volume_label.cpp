#include "ntfs/volume_label.h"

#include <array>
#include <vector>

#include "ntfs/boot_sector.h"
#include "ntfs/checked_arithmetic.h"
#include "ntfs/attribute_header.h"
#include "ntfs/record_header.h"
#include "ntfs/read_exactly.h"
#include "platform/bytes.h"

namespace skerry {
namespace {

constexpr uint64_t kVolumeRecord = 3;
constexpr size_t kMaxLabelUnits = 128;

// Checks and undoes the update sequence of a record read from the disk.
bool UndoUpdateSequence(std::vector<uint8_t>& record) {
  const ByteView view(record.data(), record.size());
  const uint16_t offset = view.le16(kUpdateSequenceOffset);
  const uint16_t count = view.le16(kUpdateSequenceCount);
  if (count == 0 || size_t{count - 1u} * kFixupStride != record.size()) return false;
  const uint16_t number = view.le16(offset);
  for (uint16_t i = 1; i < count; ++i) {
    const size_t end = size_t{i} * kFixupStride - 2;
    if (view.le16(end) != number) return false;
    const uint16_t original = view.le16(offset + 2u * i);
    StoreLe16(record.data() + end, original);
  }
  return true;
}

}  // namespace

std::u16string ReadVolumeLabel(BlockDevice& disk, uint64_t partitionOffset) {
  try {
    std::array<uint8_t, kBootSectorSize> bootSector{};
    VolumeGeometry geometry;
    if (!disk.Seek(partitionOffset) ||
        ReadExactly(disk, bootSector.data(), kBootSectorSize) != kErrorSuccess ||
        ReadGeometry(ByteView(bootSector.data(), bootSector.size()), geometry) != kErrorSuccess) {
      return {};
    }
    uint64_t offset = 0;
    if (!CheckedMultiply(geometry.mftCluster, geometry.clusterSize, offset) ||
        !CheckedAdd(offset, partitionOffset + kVolumeRecord * geometry.recordSize, offset)) {
      return {};
    }
    std::vector<uint8_t> record(geometry.recordSize);
    if (!disk.Seek(offset) ||
        ReadExactly(disk, record.data(), geometry.recordSize) != kErrorSuccess ||
        ByteView(record.data(), record.size()).le32(0) != kFileSignature ||
        !UndoUpdateSequence(record)) {
      return {};
    }
    const ByteView view(record.data(), record.size());
    for (uint64_t at = view.le16(kFirstAttribute); at + 8 <= view.size();) {
      const uint32_t type = view.le32(at);
      const uint32_t length = view.le32(at + kAttrLength);
      if (type == kAttributeEnd || length == 0) break;
      if (type == kAttributeVolumeName && view.u8(at + kAttrNonResident) == 0) {
        const ByteView value =
            view.Sub(at + view.le16(at + kAttrValueOffset), view.le32(at + kAttrValueLength));
        std::u16string label;
        for (size_t i = 0; i + 1 < value.size() && label.size() < kMaxLabelUnits; i += 2) {
          label.push_back(static_cast<char16_t>(value.le16(i)));
        }
        return label;
      }
      at += length;
    }
  } catch (const ByteRangeError&) {
  }
  return {};
}

}  // namespace skerry
