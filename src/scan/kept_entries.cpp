#include "scan/kept_entries.h"

namespace skerry {
namespace {

constexpr uint8_t kDeleted = 1;
constexpr uint8_t kSparse = 2;

}  // namespace

void KeptEntries::Add(const FileEntry& entry) {
  Kept kept;
  kept.parentReference = entry.parentReference;
  // NTFS names are at most 255 units; the parser holds them to that.
  kept.nameLength = static_cast<uint8_t>(entry.name.size());
  const uint64_t name = names_.Append(std::u16string_view(entry.name).substr(0, kept.nameLength));
  kept.nameLow = static_cast<uint32_t>(name);
  kept.nameHigh = static_cast<uint16_t>(name >> 32);
  kept.flags = static_cast<uint8_t>((entry.deleted ? kDeleted : 0) | (entry.sparse ? kSparse : 0));
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
  entry.name.assign(
      names_.View(kept.nameLow | uint64_t{kept.nameHigh} << 32, kept.nameLength));
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
