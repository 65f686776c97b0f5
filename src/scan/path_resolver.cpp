#include "scan/path_resolver.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "ntfs/file_reference.h"
#include "platform/text.h"

namespace skerry {
PathResolver::PathResolver(const DirectoryTable& directories, char16_t separator,
                           PathEncoding encoding, const LoadedPart& loaded)
    : directories_(directories), separator_(separator), encoding_(encoding), loaded_(loaded) {
  // Nearly every directory is met on some chain.
  cacheIndex_.Reserve(loaded.finished ? directories.size() : loaded.directories);
  orphanPath_.assign(1, separator_);
  orphanPath_.append(kOrphanMarker);
  AssignUtf8(orphanUtf8_, orphanPath_);
}

bool PathResolver::Accepts(const Directory& directory, uint16_t sequenceNumber, bool childInUse) {
  if (!directory.usable) return false;
  const bool sameRecord = sequenceNumber == 0 || sequenceNumber == directory.sequenceNumber;
  if (childInUse) return directory.inUse && sameRecord;
  return sameRecord ||
         (!directory.inUse && static_cast<uint16_t>(sequenceNumber + 1) == directory.sequenceNumber);
}

namespace {

bool Complete(Resolution resolution) {
  if (resolution == Resolution::kNotYetLoaded) throw std::logic_error("the MFT is still loading");
  return resolution == Resolution::kComplete;
}

}  // namespace

bool PathResolver::ResolveParent(uint64_t parentReference, bool inUse, std::u16string_view& path) {
  return Complete(TryResolveParent(parentReference, inUse, path));
}

bool PathResolver::ResolveParent(uint64_t parentReference, bool inUse, std::string_view& path) {
  return Complete(TryResolveParent(parentReference, inUse, path));
}

Resolution PathResolver::TryResolveParent(uint64_t parentReference, bool inUse,
                                          std::u16string_view& path) {
  if (encoding_ != PathEncoding::kUtf16) throw std::logic_error("the resolver keeps UTF-8 paths");
  return Resolve(parentReference, inUse, path);
}

Resolution PathResolver::TryResolveParent(uint64_t parentReference, bool inUse,
                                          std::string_view& path) {
  if (encoding_ != PathEncoding::kUtf8) throw std::logic_error("the resolver keeps UTF-16 paths");
  return Resolve(parentReference, inUse, path);
}

template <typename Unit>
Resolution PathResolver::Resolve(uint64_t parentReference, bool inUse,
                                 std::basic_string_view<Unit>& path) {
  // Most files lie in a directory whose path is already known. Only what
  // the loaded part settles is cached.
  if (const Directory* hit = Cached(FileReference{parentReference}.RecordNumber());
      hit != nullptr && Accepts(*hit, FileReference{parentReference}.Sequence(), inUse)) {
    TextOf(*hit, path);
    return hit->complete ? Resolution::kComplete : Resolution::kBroken;
  }

  chain_.clear();
  onChain_.clear();
  names_.clear();
  // The known directory that the chain reached; none when it broke.
  const Directory* top = nullptr;
  uint64_t reference = parentReference;
  bool childInUse = inUse;
  for (;;) {
    const uint64_t number = FileReference{reference}.RecordNumber();
    const uint16_t sequenceNumber = FileReference{reference}.Sequence();
    if (const Directory* hit = Cached(number); hit != nullptr) {
      if (Accepts(*hit, sequenceNumber, childInUse)) top = hit;
      break;
    }
    // A record already on the chain closes a loop, a directory that is its
    // own parent among them.
    if (OnChain(number) || chain_.size() >= kMaxPathDepth) break;
    const DirectoryRecord* record = nullptr;
    if (!FindLoaded(number, record)) return Resolution::kNotYetLoaded;
    Level level;
    level.record = number;
    if (!ReadDirectory(record, level)) {
      Cache(number);
      break;
    }
    // A directory that this reference may not lead to is not kept: its own
    // path is not known, and another reference may still lead to it.
    if (!Accepts(level.directory, sequenceNumber, childInUse)) break;
    if (number == kRootRecord) {
      Directory& root = Cache(number);
      root = level.directory;
      root.complete = true;
      top = &root;
      break;
    }
    reference = level.parentReference;
    childInUse = level.directory.inUse;
    if (chain_.size() >= kShortChain) onChain_.insert(number);
    chain_.push_back(std::move(level));
  }

  bool complete = false;
  path = Orphan(Unit{});
  size_t units = orphanPath_.size();
  if (top != nullptr) {
    TextOf(*top, path);
    units = top->pathUnits;
    complete = top->complete;
  }
  std::basic_string<Unit>& built = Built(Unit{});
  built = path;
  // From the top of the chain down, each level's path is its parent's and
  // its own name.
  for (auto level = chain_.rbegin(); level != chain_.rend(); ++level) {
    units = AppendLevel(built, units,
                        std::u16string_view(names_).substr(level->nameStart, level->nameLength));
    Directory& directory = Cache(level->record);
    directory = std::move(level->directory);
    directory.complete = complete;
    directory.pathUnits = static_cast<uint32_t>(units);
    directory.textStart = Keep(built);
    directory.textLength = static_cast<uint32_t>(built.size());
    TextOf(directory, path);
  }
  return complete ? Resolution::kComplete : Resolution::kBroken;
}

size_t PathResolver::AppendLevel(std::u16string& path, size_t /*units*/,
                                 std::u16string_view name) const {
  path.push_back(separator_);
  path.append(name);
  KeepLastLevels(path);
  return path.size();
}

// A separator is never half of a pair (a listing that keeps UTF-8 paths
// takes no such separator), so each name encodes on its own as it would
// within the whole path.
size_t PathResolver::AppendLevel(std::string& path, size_t units, std::u16string_view name) {
  AppendUtf8(path, separator_);
  AppendUtf8(path, name);
  units += 1 + name.size();
  if (units <= kMaxPathLength) return units;
  // Only a path too long is decoded again: every unit, and each pair, comes
  // back as the same number of units, so it is cut where its UTF-16 form
  // would have been.
  built_ = Utf8ToUtf16(path);
  KeepLastLevels(built_);
  AssignUtf8(path, built_);
  return built_.size();
}

const PathResolver::Directory* PathResolver::Cached(uint64_t number) const {
  const uint32_t* at = cacheIndex_.Find(number);
  return at != nullptr ? &cache_[*at] : nullptr;
}

// Directories stay where they are (the cache grows in chunks); the index may
// move, so a pointer that its Find gave is not used after this.
PathResolver::Directory& PathResolver::Cache(uint64_t number) {
  const uint32_t at = cacheIndex_.Insert(number, static_cast<uint32_t>(cache_.size()));
  if (at == cache_.size()) cache_.push_back(Directory{});
  return cache_[at];
}

bool PathResolver::OnChain(uint64_t number) const {
  const size_t searched = std::min(chain_.size(), kShortChain);
  for (size_t i = 0; i < searched; ++i) {
    if (chain_[i].record == number) return true;
  }
  return chain_.size() > kShortChain && onChain_.count(number) != 0;
}

bool PathResolver::FindLoaded(uint64_t recordNumber, const DirectoryRecord*& directory) const {
  if (loaded_.finished) {
    directory = directories_.Find(recordNumber);
    return true;
  }
  if (recordNumber >= loaded_.records) return false;
  directory = directories_.FindAmongFirst(loaded_.directories, recordNumber);
  return directory == nullptr || !directory->namePending;
}

bool PathResolver::ReadDirectory(const DirectoryRecord* directory, Level& level) {
  if (directory == nullptr || !directory->usable) return false;
  level.directory.usable = true;
  level.directory.inUse = directory->inUse;
  level.directory.sequenceNumber = directory->sequenceNumber;
  level.parentReference = directory->parentReference;
  level.nameStart = names_.size();
  level.nameLength = directory->nameLength;
  names_.append(directories_.Name(*directory));
  return true;
}

void PathResolver::KeepLastLevels(std::u16string& path) const {
  if (path.size() <= kMaxPathLength) return;
  const size_t cut = path.find(separator_, path.size() - kMaxPathLength);
  path.erase(0, cut == std::u16string::npos ? path.size() - kMaxPathLength : cut);
}

}  // namespace skerry
