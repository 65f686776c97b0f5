#pragma once
// The walk over a mounted volume's MFT that chooses which files a listing
// prints: in-use records with a name, in the directories that the directory
// filter accepts, with the attributes that the mask selects.

#include <cstdint>
#include <ostream>

#include "filters/scan_settings.h"
#include "ntfs/ntfs_volume.h"
#include "platform/errors.h"
#include "scan/file_entry.h"

namespace skerry {

class EntryVisitor {
 public:
  virtual ~EntryVisitor() = default;
  virtual void Visit(const FileEntry& entry) = 0;
};

// Whether the attribute selection prints `entry`: an attribute in `mask`, or
// no attribute at all or a sparse file when the mask asks for system files,
// or, with the stream-count column, a file of several streams or names.
bool PassesAttributeSelection(const FileEntry& entry, uint32_t mask, bool showStreamCount);

// Visits every selected entry of the MFT, in MFT order. A record that cannot
// be decoded is passed over and the walk goes on, so that one damaged record
// does not hide the rest of the volume; the walk then ends with
// kErrorFileCorrupt. Otherwise 0, or kErrorInvalidAccess for a volume whose
// MFT is not loaded.
ErrorCode ScanEntries(NtfsVolume& volume, const ScanSettings& settings,
                      bool positionsAreRecordNumbers, EntryVisitor& visitor,
                      std::wostream* diagnostics = nullptr);

}  // namespace skerry
