#include "scan/kept_entries.h"

namespace skerry {

void KeptEntries::Add(const FileEntry& entry) {
  Kept kept;
  kept.parentReference = entry.parentReference;
  // NTFS names are at most 255 units; the parser holds them to that.
  kept.nameLength = static_cast<uint8_t>(entry.name.size());
  const std::u16string_view name = std::u16string_view(entry.name).substr(0, kept.nameLength);
  bool narrow = true;
  for (const char16_t unit : name) narrow = narrow && unit < 0x100;
  char packed[2 * kEntryNameCapacity];
  size_t packedLength = 0;
  for (const char16_t unit : name) {
    packed[packedLength++] = static_cast<char>(unit & 0xFF);
    if (!narrow) packed[packedLength++] = static_cast<char>(unit >> 8);
  }
  const uint64_t position = names_.Append(std::string_view(packed, packedLength));
  kept.nameLow = static_cast<uint32_t>(position);
  kept.nameHigh = static_cast<uint16_t>(position >> 32);
  kept.flags = static_cast<uint8_t>((entry.deleted ? kDeleted : 0) | (entry.sparse ? kSparse : 0) |
                                    (narrow ? kNarrowName : 0));
  entries_.push_back(kept);
  if (keepDetails_) {
    details_.push_back(Details{entry.created, entry.modified, entry.mftChanged, entry.accessed,
                               entry.size, entry.recordNumber, entry.attributes, entry.nameCount,
                               entry.dataCount});
  }
  if (keepTimeline_) {
    timelines_.push_back(Timeline{entry.nameCreated, entry.nameModified, entry.nameMftChanged,
                                  entry.nameAccessed, entry.contentType, entry.contentId,
                                  entry.fileNameId});
  }
  if (keepRuns_) {
    runSpans_.push_back(RunSpan{runs_.size(), entry.runs.size()});
    runs_.insert(runs_.end(), entry.runs.begin(), entry.runs.end());
  }
}

void KeptEntries::Rehydrate(size_t index, FileEntry& entry) const {
  const Kept& kept = entries_[index];
  entry.deleted = (kept.flags & kDeleted) != 0;
  entry.sparse = (kept.flags & kSparse) != 0;
  const bool narrow = (kept.flags & kNarrowName) != 0;
  const std::string_view packed = names_.View(kept.nameLow | uint64_t{kept.nameHigh} << 32,
                                              narrow ? kept.nameLength : 2 * kept.nameLength);
  entry.name.resize(kept.nameLength);
  // Two loops, so that the common one is a plain widening.
  char16_t* name = entry.name.data();
  if (narrow) {
    for (size_t i = 0; i < kept.nameLength; ++i) name[i] = static_cast<unsigned char>(packed[i]);
  } else {
    for (size_t i = 0; i < kept.nameLength; ++i) {
      name[i] = static_cast<char16_t>(static_cast<unsigned char>(packed[2 * i]) |
                                      static_cast<unsigned char>(packed[2 * i + 1]) << 8);
    }
  }
  entry.parentReference = kept.parentReference;
  entry.parent = static_cast<uint32_t>(kept.parentReference);
  const Details details = keepDetails_ ? details_[index] : Details{};
  entry.created = details.created;
  entry.modified = details.modified;
  entry.mftChanged = details.mftChanged;
  entry.accessed = details.accessed;
  entry.size = details.size;
  entry.recordNumber = details.recordNumber;
  entry.attributes = details.attributes;
  entry.nameCount = details.nameCount;
  entry.dataCount = details.dataCount;
  if (keepTimeline_) {
    const Timeline& timeline = timelines_[index];
    entry.nameCreated = timeline.nameCreated;
    entry.nameModified = timeline.nameModified;
    entry.nameMftChanged = timeline.nameMftChanged;
    entry.nameAccessed = timeline.nameAccessed;
    entry.contentType = timeline.contentType;
    entry.contentId = timeline.contentId;
    entry.fileNameId = timeline.fileNameId;
  }
  entry.runs.clear();
  if (keepRuns_) {
    const RunSpan& span = runSpans_[index];
    entry.runs.assign(runs_.begin() + static_cast<ptrdiff_t>(span.start),
                      runs_.begin() + static_cast<ptrdiff_t>(span.start + span.count));
  }
}

}  // namespace skerry
