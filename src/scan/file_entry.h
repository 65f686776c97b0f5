#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filters/file_views.h"
#include "ntfs/file_reference.h"
#include "ntfs/run_entry.h"

namespace skerry {

// Longer than any NTFS name (255 UTF-16 units), so that a reused entry's
// name never grows.
inline constexpr size_t kEntryNameCapacity = 256;

// The decoded form of one file record, as the listing prints it and as the
// directory filters and the directory walk see a file. One entry is reused for
// every record of a scan, so its strings and runs keep their capacity.
struct FileEntry final : FileDescription {
  uint64_t created = 0;     // FILETIME, UTC
  uint64_t modified = 0;    // FILETIME, UTC
  uint64_t mftChanged = 0;  // FILETIME, UTC
  uint64_t accessed = 0;    // FILETIME, UTC
  uint64_t size = 0;        // low 48 bits of the last $DATA attribute's size
  uint32_t attributes = 0;  // $FILE_NAME flags; kFileNameDirectoryFlag marks a directory
  bool deleted = false;
  bool sparse = false;
  std::u16string name;
  uint32_t parent = 0;  // low 32 bits of the parent reference
  // The parent's directory path, when asked for. It belongs to whoever
  // produced the entry (the path cache, the directory walk) and is valid
  // until the next entry.
  std::u16string_view path;
  // With pathHasUtf8, the path is given as UTF-8 alone (for a listing that
  // writes UTF-8, which asked for it so), and `path` is empty.
  std::string_view pathUtf8;
  bool pathHasUtf8 = false;
  uint32_t nameCount = 0;
  uint32_t dataCount = 0;
  std::vector<RunEntry> runs;
  // The whole parent reference, sequence number included; the record number
  // is its low 48 bits (FileReference), wider than `parent`.
  uint64_t parentReference = 0;
  // What a timeline needs beyond the listing (timeline_fields.h).
  uint64_t recordNumber = 0;
  uint64_t nameCreated = 0;     // the $FILE_NAME's own times, FILETIME, UTC
  uint64_t nameModified = 0;
  uint64_t nameMftChanged = 0;
  uint64_t nameAccessed = 0;
  uint32_t contentType = 0;     // 0x80 ($DATA), 0x90 ($INDEX_ROOT) or 0: not in this record
  uint16_t contentId = 0;       // that attribute's id
  uint16_t fileNameId = 0;      // the id of the $FILE_NAME the name comes from

  uint32_t DataStreamCount() const override { return dataCount; }
  std::u16string_view DirectoryPath() const override { return path; }
  bool InUse() const override { return !deleted; }
};

}  // namespace skerry
