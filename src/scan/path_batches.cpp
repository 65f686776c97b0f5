#include "scan/path_batches.h"

namespace skerry {

template <typename Change>
void PathBatches::Announce(Change change) {
  {
    std::lock_guard lock(mutex_);
    change();
  }
  changed_.notify_all();
}

PathBatches::PathBatches() : ring_(kBatchCount) {
  for (PathBatch& batch : ring_) {
    batch.paths.reserve(kBatchEntries);
    batch.utf8Paths.reserve(kBatchEntries);
  }
}

PathBatch* PathBatches::NextToFill() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stopped_ || filled_ - written_ < ring_.size(); });
  if (stopped_) return nullptr;
  PathBatch& batch = ring_[filled_ % ring_.size()];
  batch.paths.clear();
  batch.utf8Paths.clear();
  return &batch;
}

void PathBatches::Filled() {
  Announce([this] { ++filled_; });
}

void PathBatches::Finish() {
  Announce([this] { finished_ = true; });
}

PathBatch* PathBatches::NextToWrite() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return finished_ || written_ < filled_; });
  return written_ < filled_ ? &ring_[written_ % ring_.size()] : nullptr;
}

void PathBatches::Written() {
  Announce([this] { ++written_; });
}

void PathBatches::Stop() {
  Announce([this] { stopped_ = true; });
}

}  // namespace skerry
