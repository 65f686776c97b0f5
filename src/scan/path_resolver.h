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

// How a resolver keeps its paths: as UTF-16, as NTFS names them, or encoded
// as UTF-8 (unpaired surrogates as U+FFFD) for a listing that writes UTF-8,
// which then copies each path into its lines instead of encoding it for
// every file.
enum class PathEncoding { kUtf16, kUtf8 };

// How much of the directory table a resolver may read while the MFT still
// loads: every record below `records` has been noted, and the first
// `directories` directory records are published; once `finished`, the whole
// table, every extension record's name included.
struct LoadedPart {
  uint64_t records = UINT64_MAX;
  size_t directories = SIZE_MAX;
  bool finished = true;
};

enum class Resolution { kComplete, kBroken, kNotYetLoaded };

class PathResolver {
 public:
  // `loaded`: the part of the table that may be read (see SetLoaded).
  PathResolver(const DirectoryTable& directories, char16_t separator,
               PathEncoding encoding = PathEncoding::kUtf16, const LoadedPart& loaded = {});
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
  //
  // A resolver keeps its paths in one encoding: the UTF-16 form is given by
  // a kUtf16 resolver, the UTF-8 form by a kUtf8 one (std::logic_error
  // otherwise). A path longer than kMaxPathLength UTF-16 units is cut as
  // its UTF-16 form would be, and then encoded.
  bool ResolveParent(uint64_t parentReference, bool inUse, std::u16string_view& path);
  bool ResolveParent(uint64_t parentReference, bool inUse, std::string_view& path);

  // While the MFT loads, the part of the table the resolver may read (the
  // whole table unless told). A path is given only once every record on its
  // chain is loaded, so that it is the path the whole table gives; otherwise
  // TryResolveParent returns kNotYetLoaded and has changed nothing.
  void SetLoaded(const LoadedPart& loaded) { loaded_ = loaded; }
  Resolution TryResolveParent(uint64_t parentReference, bool inUse, std::u16string_view& path);
  Resolution TryResolveParent(uint64_t parentReference, bool inUse, std::string_view& path);

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
    uint32_t pathUnits = 0;  // in UTF-16, at most kMaxPathLength
    uint64_t textStart = 0;  // in the arena of the resolver's encoding
    uint32_t textLength = 0;
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

  template <typename Unit>
  Resolution Resolve(uint64_t parentReference, bool inUse, std::basic_string_view<Unit>& path);
  // Appends a separator and `name` to the path being built, `units` UTF-16
  // units long, cut to its last levels; returns its new length in units.
  size_t AppendLevel(std::u16string& path, size_t units, std::u16string_view name) const;
  size_t AppendLevel(std::string& path, size_t units, std::u16string_view name);
  // The path built so far, kept, in the resolver's encoding.
  uint64_t Keep(const std::u16string& path) { return paths_.Append(path); }
  uint64_t Keep(const std::string& path) { return utf8Paths_.Append(path); }
  std::u16string& Built(char16_t) { return built_; }
  std::string& Built(char) { return builtUtf8_; }
  std::u16string_view Orphan(char16_t) const { return orphanPath_; }
  std::string_view Orphan(char) const { return orphanUtf8_; }
  void TextOf(const Directory& directory, std::u16string_view& path) const {
    path = paths_.View(directory.textStart, directory.textLength);
  }
  void TextOf(const Directory& directory, std::string_view& path) const {
    path = utf8Paths_.View(directory.textStart, directory.textLength);
  }

  static bool Accepts(const Directory& directory, uint16_t sequenceNumber, bool childInUse);
  // Whether record `number` is a level of the chain being resolved.
  bool OnChain(uint64_t number) const;
  // Sets `directory` to the directory record `recordNumber` (null when it is
  // none); false when the part loaded does not yet tell.
  bool FindLoaded(uint64_t recordNumber, const DirectoryRecord*& directory) const;
  // Fills `level` from `directory`, its name appended to names_; false when
  // it is no usable directory.
  bool ReadDirectory(const DirectoryRecord* directory, Level& level);
  void KeepLastLevels(std::u16string& path) const;
  // The cached directory `number`; null when none is.
  const Directory* Cached(uint64_t number) const;
  // The cached directory `number`, added empty when none is.
  Directory& Cache(uint64_t number);

  const DirectoryTable& directories_;
  char16_t separator_;
  PathEncoding encoding_;
  LoadedPart loaded_;
  // Every record met on a chain, by record number; records that cannot be a
  // parent are kept too, so that each is looked up once.
  ChunkedArray<Directory> cache_;
  ReferenceIndex cacheIndex_;  // record number -> position in cache_
  // Every cached directory's path, in the resolver's encoding.
  ChunkedText<char16_t> paths_{kMaxPathLength};
  ChunkedText<char> utf8Paths_{3 * kMaxPathLength};
  // The levels of the chain being resolved, from the parent up, with their
  // names back to back; kept between calls for their capacity.
  std::vector<Level> chain_;
  std::unordered_set<uint64_t> onChain_;  // the levels past the first kShortChain
  std::u16string names_;
  std::u16string built_;  // a UTF-16 path being built, or one being cut
  std::string builtUtf8_;
  std::u16string orphanPath_;  // the path of a file whose parent is no directory
  std::string orphanUtf8_;
};

}  // namespace skerry
