#include "scan/path_resolver.h"

#include <utility>

#include "scan/attribute_list.h"
#include "scan/file_entry.h"

namespace skerry {
namespace {

// The root directory: the one record that is its own parent.
constexpr uint64_t kRootRecord = 5;
constexpr unsigned kSequenceShift = 48;

uint16_t SequenceOf(uint64_t reference) {
  return static_cast<uint16_t>(reference >> kSequenceShift);
}

}  // namespace

PathResolver::PathResolver(NtfsVolume& volume, bool positionsAreRecordNumbers)
    : volume_(volume), source_(volume, positionsAreRecordNumbers) {
  record_.handle = volume.handle();
  record_.SetGeometry(volume.partitionOffset(), volume.recordSize(), volume.clusterSize());
  record_.SetRecordLimit(volume.mftRecordLimit());
  record_.SilenceDiagnostics();
}

bool PathResolver::Accepts(const Directory& directory, uint16_t sequenceNumber, bool childInUse) {
  if (!directory.usable) return false;
  const bool sameRecord = sequenceNumber == 0 || sequenceNumber == directory.sequenceNumber;
  if (childInUse) return directory.inUse && sameRecord;
  return sameRecord ||
         (!directory.inUse && static_cast<uint16_t>(sequenceNumber + 1) == directory.sequenceNumber);
}

bool PathResolver::ResolveParent(uint64_t parentReference, bool inUse, std::u16string& path) {
  // Most files lie in a directory whose path is already known.
  if (const auto hit = cache_.find(parentReference & kRecordNumberMask);
      hit != cache_.end() && Accepts(hit->second, SequenceOf(parentReference), inUse)) {
    path = hit->second.path;
    return hit->second.complete;
  }

  chain_.clear();
  onChain_.clear();
  names_.clear();
  // The known directory that the chain reached; none when it broke.
  const Directory* top = nullptr;
  uint64_t reference = parentReference;
  bool childInUse = inUse;
  for (;;) {
    const uint64_t number = reference & kRecordNumberMask;
    const uint16_t sequenceNumber = SequenceOf(reference);
    if (const auto hit = cache_.find(number); hit != cache_.end()) {
      if (Accepts(hit->second, sequenceNumber, childInUse)) top = &hit->second;
      break;
    }
    // A record already on the chain closes a loop, a directory that is its
    // own parent among them.
    if (onChain_.count(number) != 0 || chain_.size() >= kMaxPathDepth) break;
    Level level;
    level.record = number;
    if (!ReadDirectory(number, level) || !level.directory.usable) {
      cache_.emplace(number, Directory{});
      break;
    }
    // A directory that this reference may not lead to is not kept: its own
    // path is not known, and another reference may still lead to it.
    if (!Accepts(level.directory, sequenceNumber, childInUse)) break;
    if (number == kRootRecord) {
      Directory& root = cache_[number];
      root = level.directory;
      root.complete = true;
      top = &root;
      break;
    }
    reference = level.parentReference;
    childInUse = level.directory.inUse;
    onChain_.insert(number);
    chain_.push_back(std::move(level));
  }

  bool complete = false;
  if (top != nullptr) {
    built_ = top->path;
    complete = top->complete;
  } else {
    built_.assign(1, volume_.separator());
    built_.append(kOrphanMarker);
  }
  // From the top of the chain down, each level's path is its parent's and
  // its own name.
  for (auto level = chain_.rbegin(); level != chain_.rend(); ++level) {
    built_.push_back(volume_.separator());
    built_.append(names_, level->nameStart, level->nameLength);
    KeepLastLevels(built_);
    Directory& directory = cache_[level->record];
    directory = std::move(level->directory);
    directory.complete = complete;
    directory.path = built_;
  }
  path = built_;
  return complete;
}

bool PathResolver::ReadDirectory(uint64_t recordNumber, Level& level) {
  uint8_t* bytes = nullptr;
  if (source_.Fetch(recordNumber, bytes) != kErrorSuccess) return false;
  if (Parse(bytes, recordNumber) != kErrorSuccess) return false;
  level.directory.inUse = record_.inUse;
  level.directory.sequenceNumber = record_.sequenceNumber;
  // A file is never a parent, whatever it holds.
  if (!record_.directoryRecord) return true;
  if (record_.fileNameCount == 0) {
    if (ReadNameFromExtension(recordNumber) != kErrorSuccess) return false;
  }
  const ByteView fileName(record_.fileName.data(), record_.fileName.size());
  level.parentReference = fileName.le64(kFnParent);
  level.directory.usable = recordNumber != kRootRecord ||
                           (level.parentReference & kRecordNumberMask) == kRootRecord;
  level.nameStart = names_.size();
  level.nameLength = NameLength(record_.fileName);
  for (size_t i = 0; i < level.nameLength; ++i) names_.push_back(NameUnit(record_.fileName, i));
  return true;
}

ErrorCode PathResolver::Parse(uint8_t* bytes, uint64_t recordNumber) {
  record_.ExpectRecordNumber(recordNumber);
  // A damaged directory record breaks the chains through it; it never ends the scan.
  return record_.TryParse(bytes, volume_.recordSize(), false, kMaxAttributeData, nullptr, nullptr);
}

// A directory whose attributes outgrew its record (a large, fragmented index)
// may keep its $FILE_NAME in an extension record, which its $ATTRIBUTE_LIST
// names. Without it the directory has no name to place on a path.
ErrorCode PathResolver::ReadNameFromExtension(uint64_t recordNumber) {
  // The base record, just parsed.
  const ByteView base = record_.Bytes();
  uint32_t offset = 0;
  uint64_t listSize = 0;
  if (!FindAttribute(base, kAttributeList, offset) || !AttributeValueSize(base, offset, listSize) ||
      listSize > kMaxAttributeListSize) {
    return kErrorFileCorrupt;
  }
  list_.clear();
  try {
    if (ErrorCode error =
            record_.ReadAttributeData(offset, list_, kMaxAttributeListSize, nullptr)) {
      return error;
    }
  } catch (const BlockException&) {
    return kErrorFileCorrupt;
  }
  uint64_t extension = 0;
  if (!LastListedRecord(ByteView(list_.data(), list_.size()), kAttributeFileName, recordNumber,
                        extension)) {
    return kErrorFileCorrupt;
  }
  uint8_t* extensionBytes = nullptr;
  if (ErrorCode error = source_.Fetch(extension, extensionBytes)) return error;
  if (ErrorCode error = Parse(extensionBytes, extension)) return error;
  // A name taken from a record that does not belong to this one would be
  // another file's.
  const uint64_t owner = BaseRecordReference(record_.Bytes());
  if ((owner & kRecordNumberMask) != recordNumber || record_.fileNameCount == 0) {
    return kErrorFileCorrupt;
  }
  return kErrorSuccess;
}

void PathResolver::KeepLastLevels(std::u16string& path) const {
  if (path.size() <= kMaxPathLength) return;
  const size_t cut = path.find(volume_.separator(), path.size() - kMaxPathLength);
  path.erase(0, cut == std::u16string::npos ? path.size() - kMaxPathLength : cut);
}

}  // namespace skerry
