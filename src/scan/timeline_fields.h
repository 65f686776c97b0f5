#pragma once
// The fields of an entry that only a timeline prints: the record's number,
// its $FILE_NAME's times and the attribute that holds its contents.

#include <cstdint>

#include "ntfs/mft_record.h"
#include "scan/file_entry.h"

namespace skerry {

// Copies them from `record`, just parsed, into `entry`.
void FillTimelineFields(const MFTRecord& record, uint64_t recordNumber, FileEntry& entry);

}  // namespace skerry
