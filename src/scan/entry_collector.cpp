#include "scan/entry_collector.h"

#include "scan/entry_reader.h"
#include "scan/scan_loop.h"

namespace skerry {

EntryCollector::EntryCollector(const ScanSettings& settings)
    : settings_(settings),
      loadFilter_(settings.recordFilter->FiltersOnLoad() ? settings.recordFilter.get() : nullptr),
      wantPath_(WantsPath(settings)),
      kept_(settings.showTime || settings.showSize || settings.showAttributes ||
                settings.showStreamCount || settings.showNameCount || settings.bodyFile,
            settings.bodyFile, settings.showVcn) {
  entry_.name.reserve(kEntryNameCapacity);
}

void EntryCollector::Consume(uint64_t number, ErrorCode error, const MFTRecord& record,
                             AttributeReader& reader) {
  Collect(number, error, record, reader);
  if (number + 1 >= nextPublication_) {
    Publish(
        LoadProgress{number + 1, kept_.size(), unkeptQueries_.size(), directories_.size(), false});
    nextPublication_ = number + 1 + publishInterval_;
  }
}

void EntryCollector::EndLoad() {
  // Whatever happens, a thread waiting for the load must learn that it ended.
  struct Finished {
    EntryCollector& collector;
    ~Finished() {
      collector.Publish(LoadProgress{UINT64_MAX, collector.kept_.size(),
                                     collector.unkeptQueries_.size(), collector.directories_.size(),
                                     true});
    }
  } finished{*this};
  directories_.Finish();
}

void EntryCollector::Publish(LoadProgress progress) {
  {
    std::lock_guard lock(progressMutex_);
    progress_ = progress;
  }
  progressed_.notify_all();
}

LoadProgress EntryCollector::WaitForProgress(const LoadProgress& seen) const {
  std::unique_lock lock(progressMutex_);
  progressed_.wait(lock, [&] { return progress_ != seen; });
  return progress_;
}

void EntryCollector::Collect(uint64_t number, ErrorCode error, const MFTRecord& record,
                             AttributeReader& reader) {
  if (error != kErrorSuccess) {
    damaged_ = true;
    return;
  }
  const bool offered =
      loadFilter_ == nullptr || loadFilter_->Matches(record.standardInfo, record.fileName, record);
  // A record the filter takes must be listed whole: a stream name outside it
  // is damage.
  const bool listable = offered && !record.streamNameOutside;
  if (offered && !listable) damaged_ = true;
  if (listable) ReadEntry(record, number, entry_);
  directories_.Note(number, record, reader);
  if (!listable || (entry_.deleted && !settings_.includeDeleted) || entry_.name.empty()) return;
  // A file whose path cannot be followed to the root is listed under the
  // orphan marker, and what it lost is reported, whether it is printed or not:
  // the path of a file that is not kept is still asked for, in its place
  // among the kept ones, once for each reference and use.
  if (!PassesAttributeSelection(entry_, settings_.attributeMask, settings_.showStreamCount)) {
    if (wantPath_) {
      const uint32_t use = entry_.deleted ? 1 : 2;
      uint32_t& seen = unkeptQueried_.Insert(entry_.parentReference, 0);
      if ((seen & use) == 0) {
        seen |= use;
        unkeptQueries_.push_back({{entry_.parentReference, !entry_.deleted}, kept_.size()});
      }
    }
    return;
  }
  kept_.Add(entry_);
}

}  // namespace skerry
