#include "scan/path_resolver.h"

#include "scan/attribute_list.h"
#include "scan/file_entry.h"

namespace skerry {

PathResolver::PathResolver(NtfsVolume& volume, bool positionsAreRecordNumbers)
    : volume_(volume), source_(volume, positionsAreRecordNumbers) {
  record_.handle = volume.handle();
  record_.SetGeometry(volume.partitionOffset(), volume.recordSize(), volume.clusterSize());
  record_.SilenceDiagnostics();
}

ErrorCode PathResolver::ResolvePath(uint64_t recordNumber, std::u16string& path) {
  std::unordered_map<uint64_t, std::u16string>& cache = volume_.pathCache();
  if (const auto hit = cache.find(recordNumber); hit != cache.end()) {
    path = hit->second;
    return kErrorSuccess;
  }

  chain_.clear();
  onChain_.clear();
  names_.clear();
  const std::u16string* base = nullptr;  // the path above the chain's top; none: empty
  uint64_t current = recordNumber;
  for (;;) {
    uint64_t parent = 0;
    size_t nameLength = 0;
    const size_t nameStart = names_.size();
    if (ErrorCode error = ReadDirectory(current, parent, nameLength)) {
      if (chain_.empty()) return error;
      break;
    }
    if (parent == current) {
      base = &cache.emplace(current, std::u16string()).first->second;
      break;
    }
    chain_.push_back(Level{current, nameStart, nameLength});
    onChain_.insert(current);
    if (const auto hit = cache.find(parent); hit != cache.end()) {
      base = &hit->second;
      break;
    }
    if (onChain_.count(parent) != 0 || chain_.size() >= kMaxPathDepth) break;
    current = parent;
  }

  if (base != nullptr) {
    built_ = *base;
  } else {
    built_.clear();
  }
  // From the top of the chain down, each level's path is its parent's and
  // its own name. The map's nodes stay put when it grows, so `base` stays
  // valid while levels are added.
  for (auto level = chain_.rbegin(); level != chain_.rend(); ++level) {
    built_.push_back(volume_.separator());
    built_.append(names_, level->nameStart, level->nameLength);
    KeepLastLevels(built_);
    cache.emplace(level->record, built_);
  }
  path = built_;
  return kErrorSuccess;
}

ErrorCode PathResolver::ReadDirectory(uint64_t recordNumber, uint64_t& parent, size_t& nameLength) {
  uint8_t* bytes = nullptr;
  if (ErrorCode error = source_.Fetch(recordNumber, bytes)) return error;
  if (ErrorCode error = Parse(bytes)) return error;
  if (record_.fileNameCount == 0) {
    if (ErrorCode error = ReadNameFromExtension(recordNumber, bytes)) return error;
  }
  const ByteView fileName(record_.fileName.data(), record_.fileName.size());
  parent = fileName.le64(kFnParent) & kRecordNumberMask;
  nameLength = NameLength(record_.fileName);
  for (size_t i = 0; i < nameLength; ++i) names_.push_back(NameUnit(record_.fileName, i));
  return kErrorSuccess;
}

ErrorCode PathResolver::Parse(uint8_t* bytes) {
  // A damaged directory record drops its level of the path; it never ends the scan.
  return record_.TryParse(bytes, volume_.recordSize(), false, kMaxAttributeData, nullptr, nullptr);
}

// A directory whose attributes outgrew its record (a large, fragmented index)
// may keep its $FILE_NAME in an extension record, which its $ATTRIBUTE_LIST
// names. Without it the directory has no name to place on a path.
ErrorCode PathResolver::ReadNameFromExtension(uint64_t recordNumber, uint8_t* bytes) {
  const ByteView base(bytes, volume_.recordSize());
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
  if (ErrorCode error = Parse(extensionBytes)) return error;
  // A name taken from a record that does not belong to this one would be
  // another file's.
  const uint64_t owner = BaseRecordReference(ByteView(extensionBytes, volume_.recordSize()));
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
