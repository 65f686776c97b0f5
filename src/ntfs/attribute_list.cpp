#include "ntfs/attribute_list.h"

#include "ntfs/file_reference.h"
#include "ntfs/record_header.h"

namespace skerry {

bool FindNextAttribute(ByteView record, uint32_t type, uint32_t& offset) {
  if (!record.Contains(kFirstAttribute, 2)) return false;
  uint64_t at = record.le16(kFirstAttribute);
  if (offset != 0) {
    if (!record.Contains(offset, kAttrLength + 4) || record.le32(offset + kAttrLength) == 0) {
      return false;
    }
    at = uint64_t{offset} + record.le32(offset + kAttrLength);
  }
  while (record.Contains(at, kAttrLength + 4)) {
    const uint32_t found = record.le32(at);
    if (found == kAttributeEnd) return false;
    if (found == type) {
      offset = static_cast<uint32_t>(at);
      return true;
    }
    const uint32_t length = record.le32(at + kAttrLength);
    if (length == 0) return false;
    at += length;
  }
  return false;
}

bool AttributeValueSize(ByteView record, uint32_t offset, uint64_t& size) {
  if (!record.Contains(offset, kAttrNonResident + 1)) return false;
  if (record.u8(offset + kAttrNonResident) == 0) {
    if (!record.Contains(offset + kAttrValueLength, 4)) return false;
    size = record.le32(offset + kAttrValueLength);
    return true;
  }
  if (!record.Contains(offset + kAttrDataSize, 8)) return false;
  size = record.le64(offset + kAttrDataSize);
  return true;
}

bool LastListedRecord(ByteView list, uint32_t type, uint64_t self, uint64_t& record) {
  bool found = false;
  uint64_t at = 0;
  while (list.Contains(at, kEntryMinimum)) {
    const uint16_t length = list.le16(at + kEntryLength);
    if (length < kEntryMinimum) break;
    const uint64_t listed = FileReference{list.le64(at + kEntryReference)}.RecordNumber();
    if (list.le32(at) == type && listed != self) {
      record = listed;
      found = true;
    }
    at += length;
  }
  return found;
}

uint64_t BaseRecordReference(ByteView record) {
  return record.Contains(kBaseRecord, 8) ? record.le64(kBaseRecord) : 0;
}

// A directory whose attributes outgrew its record (a large, fragmented index)
// may keep its $FILE_NAME in an extension record, which its $ATTRIBUTE_LIST
// names.
bool FindNameExtension(const MFTRecord& record, uint64_t recordNumber, AttributeReader& reader,
                       ByteBuffer& list, uint64_t& extension) {
  const ByteView base = record.Bytes();
  uint32_t offset = 0;
  uint64_t listSize = 0;
  if (!FindNextAttribute(base, kAttributeList, offset) ||
      !AttributeValueSize(base, offset, listSize) ||
      listSize > kMaxAttributeListSize) {
    return false;
  }
  list.clear();
  try {
    if (reader.Read(base, offset, list, kMaxAttributeListSize) != kErrorSuccess) {
      return false;
    }
  } catch (const BlockException&) {
    return false;
  }
  return LastListedRecord(ByteView(list.data(), list.size()), kAttributeFileName, recordNumber,
                          extension);
}

}  // namespace skerry
