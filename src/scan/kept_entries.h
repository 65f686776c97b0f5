#pragma once
// The records a listing may print, kept compactly while the MFT streams by:
// what every line needs (name, parent reference, flags: 16 bytes and the
// name in one shared arena), the times, size, attributes and counts only
// when a column or the timeline shows them, the timeline's own fields only
// for a timeline and the runs only for the cluster column. Each is turned
// back into a FileEntry when its line is written.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/run_entry.h"
#include "platform/chunked_array.h"
#include "scan/file_entry.h"

namespace skerry {

class KeptEntries {
 public:
  KeptEntries(bool keepDetails, bool keepTimeline, bool keepRuns)
      : keepDetails_(keepDetails), keepTimeline_(keepTimeline), keepRuns_(keepRuns) {}

  // Keeps everything of `entry` but its path.
  void Add(const FileEntry& entry);
  size_t size() const { return entries_.size(); }
  // Fills `entry` with the kept entry `index` (zeros where nothing was
  // kept); its path is left as it is.
  void Rehydrate(size_t index, FileEntry& entry) const;
  uint64_t ParentReference(size_t index) const { return entries_[index].parentReference; }
  bool Deleted(size_t index) const { return (entries_[index].flags & kDeleted) != 0; }

 private:
  static constexpr uint8_t kDeleted = 1;
  static constexpr uint8_t kSparse = 2;
  static constexpr uint8_t kNarrowName = 4;  // a byte per unit

  struct Kept {
    uint64_t parentReference = 0;
    // The name's 48-bit position in names_, split to keep an entry 16 bytes.
    uint32_t nameLow = 0;
    uint16_t nameHigh = 0;
    uint8_t nameLength = 0;
    uint8_t flags = 0;
  };
  struct Details {
    uint64_t created = 0;
    uint64_t modified = 0;
    uint64_t mftChanged = 0;
    uint64_t accessed = 0;
    uint64_t size = 0;
    uint64_t recordNumber = 0;
    uint32_t attributes = 0;
    uint32_t nameCount = 0;
    uint32_t dataCount = 0;
  };
  struct Timeline {
    uint64_t nameCreated = 0;
    uint64_t nameModified = 0;
    uint64_t nameMftChanged = 0;
    uint64_t nameAccessed = 0;
    uint32_t contentType = 0;
    uint16_t contentId = 0;
    uint16_t fileNameId = 0;
  };
  struct RunSpan {
    size_t start = 0;
    size_t count = 0;
  };

  bool keepDetails_;
  bool keepTimeline_;
  bool keepRuns_;
  ChunkedArray<Kept> entries_;
  ChunkedArray<Details> details_;     // in step with entries_ when kept
  ChunkedArray<Timeline> timelines_;  // in step with entries_ when kept
  ChunkedArray<RunSpan> runSpans_;    // in step with entries_ when kept
  std::vector<RunEntry> runs_;
  // Names whose every unit is below 256 (most are ASCII) are kept a byte per
  // unit, others two bytes per unit, little end first: names are most of
  // what a listing keeps.
  ChunkedText<char> names_{2 * kEntryNameCapacity};
};

}  // namespace skerry
