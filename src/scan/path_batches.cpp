#include "scan/path_batches.h"

namespace skerry {

PathBatches::PathBatches() : ring_(kBatchCount) {
  for (PathBatch& batch : ring_) batch.paths.reserve(kBatchEntries);
}

PathBatch* PathBatches::NextToFill() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stopped_ || filled_ - written_ < ring_.size(); });
  if (stopped_) return nullptr;
  PathBatch& batch = ring_[filled_ % ring_.size()];
  batch.paths.clear();
  return &batch;
}

void PathBatches::Filled() {
  {
    std::lock_guard lock(mutex_);
    ++filled_;
  }
  changed_.notify_all();
}

void PathBatches::Finish() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

PathBatch* PathBatches::NextToWrite() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return finished_ || written_ < filled_; });
  return written_ < filled_ ? &ring_[written_ % ring_.size()] : nullptr;
}

void PathBatches::Written() {
  {
    std::lock_guard lock(mutex_);
    ++written_;
  }
  changed_.notify_all();
}

void PathBatches::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

}  // namespace skerry
