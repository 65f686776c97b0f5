#pragma once
// Decodes the records of a mounted volume's MFT, position by position, into
// FileEntry values, and resolves their directory paths.

#include <cstdint>
#include <ostream>
#include <string>

#include "filters/fs_filter.h"
#include "ntfs/mft_record.h"
#include "ntfs/ntfs_volume.h"
#include "platform/errors.h"
#include "scan/file_entry.h"
#include "scan/path_resolver.h"

namespace skerry {

class EntryReader {
 public:
  // `positionsAreRecordNumbers`: the MFT was loaded without a filter that
  // drops records, so directory records can be taken from memory instead of
  // being read from the disk again. `diagnostics`: where the record parser's
  // diagnostic line goes (standard output when null).
  EntryReader(NtfsVolume& volume, bool positionsAreRecordNumbers,
              std::wostream* diagnostics = nullptr);
  EntryReader(const EntryReader&) = delete;
  EntryReader& operator=(const EntryReader&) = delete;

  // Fills `entry` from the record at `position` of the MFT in memory. The
  // caller passes `entry` with its name, path and runs empty. Returns
  // kErrorInvalidAccess when the MFT is not loaded, kErrorNoMoreFiles past
  // its last record, or the parser's code (kErrorFileCorrupt for a record
  // whose structures reach beyond it), the entry then being left unfilled.
  // With `wantPath`, the path of the entry's parent is resolved; a parent that
  // cannot be resolved leaves it empty, as does a parent reference of 0.
  ErrorCode ReadEntry(uint32_t position, FileEntry& entry, bool wantPath, StreamFilter* observer);

  // The directory path of record `recordNumber` (PathResolver::ResolvePath).
  ErrorCode ResolvePath(uint64_t recordNumber, std::u16string& path) {
    return resolver_.ResolvePath(recordNumber, path);
  }

  // The directory path of a record no longer in use, from its parent
  // reference: its directories may be gone too, and are followed as long as
  // their records are intact. Such a record is expected to be stale, so a
  // chain that breaks is no error. Today the resolver follows any chain.
  ErrorCode ResolveDeletedPath(uint64_t parentReference, std::u16string& path) {
    return resolver_.ResolvePath(parentReference & kRecordNumberMask, path);
  }

 private:
  NtfsVolume& volume_;
  MFTRecord record_;
  PathResolver resolver_;
};

}  // namespace skerry
