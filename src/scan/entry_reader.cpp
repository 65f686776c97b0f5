#include "scan/entry_reader.h"

#include "platform/bytes.h"
#include "scan/timeline_fields.h"

namespace skerry {
namespace {

constexpr uint64_t kSizeMask = 0xFFFFFFFFFFFF;

}  // namespace

void ReadEntry(const MFTRecord& record, uint64_t recordNumber, FileEntry& entry) {
  const ByteView standardInfo(record.standardInfo.data(), record.standardInfo.size());
  const ByteView fileName(record.fileName.data(), record.fileName.size());
  entry.created = standardInfo.le64(kSiCreated);
  entry.modified = standardInfo.le64(kSiModified);
  entry.mftChanged = standardInfo.le64(kSiMftChanged);
  entry.accessed = standardInfo.le64(kSiAccessed);
  entry.size = fileName.le64(kFnDataSize) & kSizeMask;
  entry.attributes = fileName.le32(kFnFlags);
  entry.deleted = !record.inUse;
  entry.sparse = record.sparse;
  const size_t nameLength = NameLength(record.fileName);
  entry.name.resize(nameLength);
  for (size_t i = 0; i < nameLength; ++i) entry.name[i] = NameUnit(record.fileName, i);
  entry.parentReference = fileName.le64(kFnParent);
  entry.parent = static_cast<uint32_t>(entry.parentReference);
  entry.nameCount = static_cast<uint32_t>(record.fileNameCount);
  entry.dataCount = static_cast<uint32_t>(record.dataCount);
  // The entry's vector keeps its capacity: no allocation once it has grown.
  entry.runs.assign(record.runs.begin(), record.runs.end());
  FillTimelineFields(record, recordNumber, entry);
}

}  // namespace skerry
