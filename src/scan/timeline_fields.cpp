#include "scan/timeline_fields.h"

#include "platform/bytes.h"

namespace skerry {

void FillTimelineFields(const MFTRecord& record, uint64_t recordNumber, FileEntry& entry) {
  const ByteView fileName(record.fileName.data(), record.fileName.size());
  entry.recordNumber = recordNumber;
  entry.nameCreated = fileName.le64(kFnCreated);
  entry.nameModified = fileName.le64(kFnModified);
  entry.nameMftChanged = fileName.le64(kFnMftChanged);
  entry.nameAccessed = fileName.le64(kFnAccessed);
  entry.fileNameId = record.fileNameId;
  // A directory is named by its index, a file by its unnamed stream; a record
  // whose one lies in an extension record is named by its number alone.
  const bool directory = (fileName.le32(kFnFlags) & kFileNameDirectoryFlag) != 0;
  entry.contentType = 0;
  entry.contentId = 0;
  if (directory && record.hasIndexRoot) {
    entry.contentType = kAttributeIndexRoot;
    entry.contentId = record.indexRootId;
  } else if (!directory && record.hasUnnamedData) {
    entry.contentType = kAttributeData;
    entry.contentId = record.unnamedDataId;
  }
}

}  // namespace skerry
