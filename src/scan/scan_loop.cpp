#include "scan/scan_loop.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "filters/file_views.h"
#include "platform/prefetch.h"
#include "scan/path_batches.h"
#include "scan/path_resolver.h"

namespace skerry {
namespace {

constexpr uint32_t kAttributeSystem = 0x4;

// Lookups in the path cache run ahead of the files by a few, so that each
// finds its memory at hand.
constexpr size_t kLookAhead = 8;

// Resolves the paths of the kept entries in MFT order, a batch at a time,
// and those of the files left out between them, so that the path cache fills
// as a walk over every record would fill it. A file in use whose chain of
// parents breaks lost part of its path, which is damage; a deleted file's
// broken chain is stale data.
class BatchResolver {
 public:
  BatchResolver(const EntryCollector& collector, char16_t separator, bool utf8)
      : kept_(collector.kept()),
        unkept_(collector.unkeptQueries()),
        resolver_(collector.directories(), separator,
                  utf8 ? PathEncoding::kUtf8 : PathEncoding::kUtf16),
        utf8_(utf8) {}

  // Fills `batch` with the paths of the next kept entries; false once every
  // path has been resolved.
  bool Fill(PathBatch& batch) {
    batch.first = next_;
    const size_t end = std::min(kept_.size(), next_ + batchEntries_);
    batchEntries_ = std::min(2 * batchEntries_, PathBatches::kBatchEntries);
    for (; next_ < end; ++next_) {
      PrefetchAhead(next_);
      ResolveUnkept(next_);
      const EntryCollector::PathQuery query{kept_.ParentReference(next_), !kept_.Deleted(next_)};
      // Files of one directory, which mostly follow one another, resolve
      // its path once.
      if (!haveResolved_ || query != resolved_) Resolve(query, path_, pathUtf8_);
      resolved_ = query;
      haveResolved_ = true;
      if (utf8_) {
        batch.utf8Paths.push_back(pathUtf8_);
      } else {
        batch.paths.push_back(path_);
      }
    }
    if (next_ == kept_.size()) ResolveUnkept(SIZE_MAX);
    return batch.size() > 0;
  }

  bool damaged() const { return damaged_; }

 private:
  // Sets the path of the resolver's encoding.
  void Resolve(const EntryCollector::PathQuery& query, std::u16string_view& path,
               std::string_view& pathUtf8) {
    const bool complete =
        utf8_ ? resolver_.ResolveParent(query.parentReference, query.inUse, pathUtf8)
              : resolver_.ResolveParent(query.parentReference, query.inUse, path);
    if (!complete && query.inUse) damaged_ = true;
  }
  // Resolves the queries asked before kept entry `keptBefore`.
  void ResolveUnkept(size_t keptBefore) {
    std::u16string_view path;
    std::string_view pathUtf8;
    for (; nextUnkept_ < unkept_.size() && unkept_[nextUnkept_].keptBefore <= keptBefore;
         ++nextUnkept_) {
      Resolve(unkept_[nextUnkept_].query, path, pathUtf8);
    }
  }
  void PrefetchAhead(size_t index) const {
    if (index + 2 * kLookAhead < kept_.size()) {
      resolver_.PrefetchIndex(kept_.ParentReference(index + 2 * kLookAhead));
    }
    if (index + kLookAhead < kept_.size()) {
      resolver_.PrefetchDirectory(kept_.ParentReference(index + kLookAhead));
    }
  }

  const KeptEntries& kept_;
  const ChunkedArray<EntryCollector::UnkeptQuery>& unkept_;
  PathResolver resolver_;
  bool utf8_;
  // The writer waits for the first batch, whose files meet most
  // directories for the first time: the first batches are small.
  size_t batchEntries_ = PathBatches::kBatchEntries / 16;
  size_t next_ = 0;
  size_t nextUnkept_ = 0;
  EntryCollector::PathQuery resolved_;
  bool haveResolved_ = false;
  std::u16string_view path_;
  std::string_view pathUtf8_;
  bool damaged_ = false;
};

// Visits kept entries `first` on, `count` of them, with their paths when
// `paths` holds them (and their UTF-8 when `utf8Paths` does).
void VisitEntries(const KeptEntries& kept, size_t first, size_t count,
                  const std::u16string_view* paths, const std::string_view* utf8Paths,
                  const ScanSettings& settings, FileEntry& entry, EntryVisitor& visitor) {
  static const StandardInfoBlock kNoStandardInfo{};
  static const FileNameBlock kNoFileName{};
  entry.pathHasUtf8 = utf8Paths != nullptr;
  for (size_t k = 0; k < count; ++k) {
    // The line copies the path the writer takes.
    if (utf8Paths != nullptr && k + kLookAhead < count) {
      const std::string_view ahead = utf8Paths[k + kLookAhead];
      PrefetchBytes(ahead.data(), ahead.size());
    } else if (paths != nullptr && k + kLookAhead < count) {
      const std::u16string_view ahead = paths[k + kLookAhead];
      PrefetchBytes(ahead.data(), ahead.size() * sizeof(char16_t));
    }
    kept.Rehydrate(first + k, entry);
    entry.path = paths != nullptr ? paths[k] : std::u16string_view{};
    if (utf8Paths != nullptr) entry.pathUtf8 = utf8Paths[k];
    if (settings.hasDirectoryFilter &&
        !settings.directoryFilter->Matches(kNoStandardInfo, kNoFileName, entry)) {
      continue;
    }
    visitor.Visit(entry);
  }
}

void VisitBatch(const KeptEntries& kept, const PathBatch& batch, const ScanSettings& settings,
                FileEntry& entry, EntryVisitor& visitor) {
  const bool utf8 = !batch.utf8Paths.empty();
  VisitEntries(kept, batch.first, batch.size(), utf8 ? nullptr : batch.paths.data(),
               utf8 ? batch.utf8Paths.data() : nullptr, settings, entry, visitor);
}

// Resolves paths on a second thread while this one writes the lines, a few
// batches behind; returns whether a path was damaged. The lines are written
// here, in order, as they would be without the second thread.
bool VisitWithPaths(const EntryCollector& collector, char16_t separator,
                    const ScanSettings& settings, FileEntry& entry, EntryVisitor& visitor) {
  // The directory filter tests the UTF-16 path.
  BatchResolver resolver(collector, separator,
                         visitor.WantsUtf8Paths() && !settings.hasDirectoryFilter);
  PathBatches batches;
  std::exception_ptr failure;
  const auto resolve = [&] {
    try {
      while (PathBatch* batch = batches.NextToFill()) {
        if (!resolver.Fill(*batch)) break;
        batches.Filled();
      }
    } catch (...) {
      failure = std::current_exception();
    }
    batches.Finish();
  };
  std::thread resolving;
  try {
    resolving = std::thread(resolve);
  } catch (const std::system_error&) {
    // No second thread to be had: each batch is resolved, then written.
    PathBatch batch;
    while (resolver.Fill(batch)) {
      VisitBatch(collector.kept(), batch, settings, entry, visitor);
      batch.paths.clear();
    }
    return resolver.damaged();
  }
  // However the writing ends, the resolver is stopped and waited for.
  struct Joiner {
    PathBatches& batches;
    std::thread& thread;
    ~Joiner() {
      batches.Stop();
      if (thread.joinable()) thread.join();
    }
  } joiner{batches, resolving};
  while (PathBatch* batch = batches.NextToWrite()) {
    VisitBatch(collector.kept(), *batch, settings, entry, visitor);
    batches.Written();
  }
  resolving.join();
  if (failure) std::rethrow_exception(failure);
  return resolver.damaged();
}

}  // namespace

bool PassesAttributeSelection(const FileEntry& entry, uint32_t mask, bool showStreamCount) {
  const bool systemWanted = (mask & kAttributeSystem) != 0;
  return (entry.attributes & mask) != 0 || (entry.attributes == 0 && systemWanted) ||
         (showStreamCount && (entry.dataCount > 1 || entry.nameCount > 1)) ||
         (entry.sparse && systemWanted);
}

ErrorCode ScanEntries(EntryCollector& collector, const ScanSettings& settings, char16_t separator,
                      EntryVisitor& visitor) {
  collector.directories().Finish();
  FileEntry entry;
  entry.name.reserve(kEntryNameCapacity);
  bool damaged = collector.damaged();
  if (EntryCollector::WantsPath(settings)) {
    if (VisitWithPaths(collector, separator, settings, entry, visitor)) damaged = true;
  } else {
    VisitEntries(collector.kept(), 0, collector.kept().size(), nullptr, nullptr, settings, entry,
                 visitor);
  }
  return damaged ? kErrorFileCorrupt : kErrorSuccess;
}

}  // namespace skerry
