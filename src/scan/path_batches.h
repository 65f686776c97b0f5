#pragma once
// The hand-over between the thread that resolves a listing's paths, in MFT
// order, and the thread that writes its lines: a few batches of paths in a
// ring. The resolver fills a batch while the writer writes the lines of
// another; each waits only when the ring is full or empty.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string_view>
#include <vector>

namespace skerry {

// The paths of kept entries `first` on, in UTF-16 or, for a writer that
// asked for them so, in UTF-8.
struct PathBatch {
  size_t first = 0;
  std::vector<std::u16string_view> paths;
  std::vector<std::string_view> utf8Paths;
  size_t size() const { return paths.size() + utf8Paths.size(); }
};

class PathBatches {
 public:
  static constexpr size_t kBatchEntries = 4096;
  static constexpr size_t kBatchCount = 4;

  PathBatches();

  // The resolver's side. The batch to fill next, empty; null once the
  // writer has stopped.
  PathBatch* NextToFill();
  // Hands the batch from NextToFill to the writer.
  void Filled();
  // No batch follows; or the resolver failed and the writer must stop.
  void Finish();

  // The writer's side. The next batch in order; null when none follows.
  PathBatch* NextToWrite();
  // Gives the batch from NextToWrite back to the resolver.
  void Written();
  // The writer stops early (it failed): the resolver stops at its next batch.
  void Stop();

 private:
  // Makes `change` under the lock and wakes the other side.
  template <typename Change>
  void Announce(Change change);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<PathBatch> ring_;
  size_t filled_ = 0;   // batches handed to the writer so far
  size_t written_ = 0;  // batches given back so far
  bool finished_ = false;
  bool stopped_ = false;
};

}  // namespace skerry
