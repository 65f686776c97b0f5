#pragma once
// The directory path of a directory record: the names of its ancestors below
// the root and its own, each after the volume's separator (\Windows\System32).
// Every path built is kept in the volume's path cache, so a directory is read
// once per volume.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_set>
#include <vector>

#include "ntfs/mft_record.h"
#include "ntfs/ntfs_volume.h"
#include "platform/errors.h"
#include "scan/record_source.h"

namespace skerry {

// The longest path Windows can name. A longer path keeps its last levels, the
// ones that fit, so that no cached path grows beyond this.
inline constexpr size_t kMaxPathLength = 32767;
// A path of kMaxPathLength characters has at most this many levels; a chain of
// parents deeper than that belongs to a damaged volume and is cut there.
inline constexpr size_t kMaxPathDepth = (kMaxPathLength + 1) / 2;

class PathResolver {
 public:
  // Its parser writes no diagnostics: a directory is reread for every path
  // through it, and its damage is told where the listing meets its record.
  PathResolver(NtfsVolume& volume, bool positionsAreRecordNumbers);
  PathResolver(const PathResolver&) = delete;
  PathResolver& operator=(const PathResolver&) = delete;

  // Sets `path` to the directory path of record `recordNumber` (empty for the
  // root, which is its own parent). When the record itself cannot be located,
  // read or parsed, returns that code and leaves `path` as it was.
  //
  // An ancestor that cannot be read ends the path there: its name and those
  // above it are missing, the levels below it are kept (a in \a\b unreadable:
  // b's path is \b). Such a directory is not cached and is tried again for the
  // next path through it. A chain of parents that comes back to a record
  // already on it (a damaged volume) is cut there: the path starts at the
  // record where the loop closed, as if it were below the root (a whose parent
  // is b whose parent is a: a gets \b\a). So is a chain deeper than
  // kMaxPathDepth, at its deepest level. A directory whose $FILE_NAME lies in
  // an extension record takes its name and parent from there; one without
  // any $FILE_NAME counts as unreadable: it has no name to place on a path.
  ErrorCode ResolvePath(uint64_t recordNumber, std::u16string& path);

 private:
  struct Level {
    uint64_t record = 0;
    size_t nameStart = 0;  // in names_
    size_t nameLength = 0;
  };

  // Reads record `recordNumber`, appends its name to names_ and sets `parent`
  // to its parent's record number.
  ErrorCode ReadDirectory(uint64_t recordNumber, uint64_t& parent, size_t& nameLength);
  ErrorCode Parse(uint8_t* bytes);
  ErrorCode ReadNameFromExtension(uint64_t recordNumber, uint8_t* bytes);
  void KeepLastLevels(std::u16string& path) const;

  NtfsVolume& volume_;
  RecordSource source_;
  MFTRecord record_;
  // The levels of the chain being resolved, from the asked-for record up,
  // with their names back to back; kept between calls for their capacity.
  std::vector<Level> chain_;
  std::unordered_set<uint64_t> onChain_;
  std::u16string names_;
  std::u16string built_;
  ByteBuffer list_;  // an attribute list being read
};

}  // namespace skerry
