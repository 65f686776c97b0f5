#pragma once
// The listing's view of one record: a FileEntry filled from a record the
// MFT's stream has just parsed.

#include <cstdint>

#include "ntfs/mft_record.h"
#include "scan/file_entry.h"

namespace skerry {

// Fills `entry` from `record`, parsed without error as record
// `recordNumber`: every field but the path, which the entry keeps.
void ReadEntry(const MFTRecord& record, uint64_t recordNumber, FileEntry& entry);

}  // namespace skerry
