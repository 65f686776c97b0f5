#include "scan/entry_reader.h"

#include "platform/bytes.h"
#include "scan/timeline_fields.h"

namespace skerry {
namespace {

constexpr uint64_t kSizeMask = 0xFFFFFFFFFFFF;

}  // namespace

EntryReader::EntryReader(NtfsVolume& volume, bool positionsAreRecordNumbers,
                         std::wostream* diagnostics)
    : volume_(volume), resolver_(volume, positionsAreRecordNumbers) {
  record_.handle = volume.handle();
  record_.SetGeometry(volume.partitionOffset(), volume.recordSize(), volume.clusterSize());
  record_.SetRecordLimit(volume.mftRecordLimit());
  record_.SetDiagnosticStream(diagnostics);
}

ErrorCode EntryReader::ReadEntry(uint32_t position, FileEntry& entry, bool wantPath,
                                 StreamFilter* observer) {
  if (!volume_.loaded()) return kErrorInvalidAccess;
  const uint64_t recordSize = volume_.recordSize();
  ByteBuffer& mft = volume_.mftData();
  if ((uint64_t{position} + 1) * recordSize > mft.size()) return kErrorNoMoreFiles;

  // The parser decodes the runs into the entry's own vector, lent to it for
  // the call, so that neither allocates again once it has grown.
  record_.runs.swap(entry.runs);
  record_.ExpectRecordNumber(volume_.RecordNumberAt(position));
  const ErrorCode error = record_.TryParse(mft.data() + position * recordSize, recordSize, false,
                                           kMaxAttributeData, nullptr, observer);
  record_.runs.swap(entry.runs);
  if (error != kErrorSuccess) {
    entry.runs.clear();
    return error;
  }

  const ByteView standardInfo(record_.standardInfo.data(), record_.standardInfo.size());
  const ByteView fileName(record_.fileName.data(), record_.fileName.size());
  entry.created = standardInfo.le64(kSiCreated);
  entry.modified = standardInfo.le64(kSiModified);
  entry.mftChanged = standardInfo.le64(kSiMftChanged);
  entry.accessed = standardInfo.le64(kSiAccessed);
  entry.size = fileName.le64(kFnDataSize) & kSizeMask;
  entry.attributes = fileName.le32(kFnFlags);
  entry.deleted = !record_.inUse;
  entry.neverUsed = record_.neverUsed;
  entry.sparse = record_.sparse;
  const size_t nameLength = NameLength(record_.fileName);
  entry.name.resize(nameLength);
  for (size_t i = 0; i < nameLength; ++i) entry.name[i] = NameUnit(record_.fileName, i);
  entry.parentReference = fileName.le64(kFnParent);
  entry.parent = static_cast<uint32_t>(entry.parentReference);
  entry.nameCount = static_cast<uint32_t>(record_.fileNameCount);
  entry.dataCount = static_cast<uint32_t>(record_.dataCount);
  FillTimelineFields(record_, volume_.RecordNumberAt(position), entry);

  if (wantPath) {
    ResolveEntryPath(entry);
  } else {
    entry.path.clear();
  }
  return kErrorSuccess;
}

}  // namespace skerry
