#pragma once
// The directory path of a file: the names of its parent directory's
// ancestors below the root and the directory's own, each after the volume's
// separator (\Windows\System32), built from the directory table that the
// MFT's stream filled. Every directory's path is kept once built, all of them
// back to back in one arena: a listing looks one up for nearly every file, in
// no particular order, and copies it straight into the file's line.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "ntfs/directory_table.h"
#include "ntfs/file_reference.h"
#include "platform/chunked_array.h"
#include "platform/prefetch.h"
#include "scan/reference_index.h"

namespace skerry {

// The longest path Windows can name. A longer path keeps its last levels, the
// ones that fit, so that no cached path grows beyond this.
inline constexpr size_t kMaxPathLength = 32767;
// A path of kMaxPathLength characters has at most this many levels; a chain of
// parents deeper than that belongs to a damaged volume and is cut there.
inline constexpr size_t kMaxPathDepth = (kMaxPathLength + 1) / 2;
// Stands for the part of a path that could not be followed: the path of a
// file whose chain of parents breaks starts with the separator and this
// name, followed by the directories below the break.
inline constexpr std::u16string_view kOrphanMarker = u"$OrphanFiles";
class PathResolver {
 public:
  // With `keepUtf8`, each path is also kept encoded as UTF-8 (unpaired
  // surrogates as U+FFFD), once, for a listing that writes UTF-8.
  PathResolver(const DirectoryTable& directories, char16_t separator, bool keepUtf8 = false);
  PathResolver(const PathResolver&) = delete;
  PathResolver& operator=(const PathResolver&) = delete;

  // Sets `path` to the directory path that the parent reference
  // `parentReference` of a file leads to (empty for a file in the root), and
  // returns whether the chain of parents was followed up to the root. The
  // path is the resolver's own, stays valid as long as the resolver, and
  // never changes: another thread may read it once told where it is.
  //
  // A reference is followed only to an intact directory record (header flag
  // 0x0002) whose sequence number is the reference's high 16 bits (0 there
  // is not compared) and, for a file in use (`inUse`), only to a directory in
  // use. A file not in use may lead to a deleted directory, whose sequence
  // number NTFS advanced by one when it freed it: that is stale data, not
  // damage. Each directory's own parent reference is judged by whether that
  // directory is in use. The root (record 5) is the only record that may be
  // its own parent. When a chain reaches anything else (a file, a free
  // record, another sequence number, a damaged record, one past the MFT,
  // a directory that is its own parent, a loop, more than kMaxPathDepth
  // levels), the path holds kOrphanMarker in place of what lies above, the
  // levels below the break are kept, and the result is false.
  bool ResolveParent(uint64_t parentReference, bool inUse, std::u16string_view& path);
  // The same, and `utf8` set to the path's UTF-8 when the resolver keeps it
  // (else empty); it is kept as long as `path`.
  bool ResolveParent(uint64_t parentReference, bool inUse, std::u16string_view& path,
                     std::string_view& utf8);

  // Hints for a lookup of `parentReference` a few files ahead, in two
  // steps, the second of which reads only what the first brought in: the
  // index's line, then the cached directory.
  void PrefetchIndex(uint64_t parentReference) const {
    cacheIndex_.Prefetch(FileReference{parentReference}.RecordNumber());
  }
  void PrefetchDirectory(uint64_t parentReference) const {
    if (const uint32_t* at = cacheIndex_.Find(FileReference{parentReference}.RecordNumber())) {
      PrefetchLine(&cache_[*at]);
    }
  }

 private:
  // What a directory record says of itself, and its path once built.
  struct Directory {
    bool usable = false;  // an intact directory record; the root only as its own parent
    bool inUse = false;
    uint16_t sequenceNumber = 0;
    bool complete = false;  // the path reaches the root
    uint32_t pathLength = 0;  // at most kMaxPathLength
    uint64_t pathStart = 0;  // in paths_
    uint64_t utf8Start = 0;  // in utf8Paths_, when kept
    uint32_t utf8Length = 0;
  };
  struct Level {
    uint64_t record = 0;
    Directory directory;
    uint64_t parentReference = 0;
    size_t nameStart = 0;  // in names_
    size_t nameLength = 0;
  };

  // Chains are mostly short: their first levels are searched in place, and
  // only a deeper one keeps a set of the records on it.
  static constexpr size_t kShortChain = 32;

  static bool Accepts(const Directory& directory, uint16_t sequenceNumber, bool childInUse);
  // Whether record `number` is a level of the chain being resolved.
  bool OnChain(uint64_t number) const;
  // Fills `level` from the directory record `recordNumber`, its name
  // appended to names_; false when the table holds no usable directory there.
  bool ReadDirectory(uint64_t recordNumber, Level& level);
  void KeepLastLevels(std::u16string& path) const;
  std::u16string_view PathOf(const Directory& directory) const {
    return paths_.View(directory.pathStart, directory.pathLength);
  }
  std::string_view Utf8Of(const Directory& directory) const {
    return utf8Paths_.View(directory.utf8Start, directory.utf8Length);
  }
  // The cached directory `number`; null when none is.
  const Directory* Cached(uint64_t number) const;
  // The cached directory `number`, added empty when none is.
  Directory& Cache(uint64_t number);

  const DirectoryTable& directories_;
  char16_t separator_;
  // Every record met on a chain, by record number; records that cannot be a
  // parent are kept too, so that each is looked up once.
  ChunkedArray<Directory> cache_;
  ReferenceIndex cacheIndex_;  // record number -> position in cache_
  ChunkedText<char16_t> paths_{kMaxPathLength};  // every cached directory's path
  bool keepUtf8_;
  ChunkedText<char> utf8Paths_{3 * kMaxPathLength};  // the same in UTF-8, when kept
  // The levels of the chain being resolved, from the parent up, with their
  // names back to back; kept between calls for their capacity.
  std::vector<Level> chain_;
  std::unordered_set<uint64_t> onChain_;  // the levels past the first kShortChain
  std::u16string names_;
  std::u16string built_;
  std::string builtUtf8_;
  std::u16string orphanPath_;  // the path of a file whose parent is no directory
  std::string orphanUtf8_;
};

}  // namespace skerry
