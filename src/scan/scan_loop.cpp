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
#include "scan/diagnostic_relay.h"
#include "scan/path_batches.h"
#include "scan/path_resolver.h"

namespace skerry {
namespace {

constexpr uint32_t kAttributeSystem = 0x4;

// Lookups in the path cache run ahead of the files by a few, so that each
// finds its memory at hand.
constexpr size_t kLookAhead = 8;

LoadedPart Loaded(const LoadProgress& progress) {
  return LoadedPart{progress.records, progress.directories, progress.finished};
}

// Resolves the paths of the kept entries in MFT order, a batch at a time,
// and those of the files left out between them, so that the path cache fills
// as a walk over every record would fill it. A file in use whose chain of
// parents breaks lost part of its path, which is damage; a deleted file's
// broken chain is stale data. While the MFT loads, a path is resolved once
// every record on its chain is loaded, and the resolver waits for the load
// when the next path's is not.
class BatchResolver {
 public:
  BatchResolver(const EntryCollector& collector, const LoadProgress& progress, char16_t separator,
                bool utf8)
      : collector_(collector),
        kept_(collector.kept()),
        unkept_(collector.unkeptQueries()),
        progress_(progress),
        resolver_(collector.directories(), separator,
                  utf8 ? PathEncoding::kUtf8 : PathEncoding::kUtf16, Loaded(progress)),
        utf8_(utf8) {}

  // Fills `batch` with the paths of the next kept entries, as many as are
  // loaded (waiting for the load when none is); false once every path has
  // been resolved.
  bool Fill(PathBatch& batch) {
    batch.first = next_;
    const size_t capacity = batchEntries_;
    batchEntries_ = std::min(2 * batchEntries_, PathBatches::kBatchEntries);
    for (;;) {
      FillLoaded(batch, capacity);
      if (batch.size() == capacity) return true;
      if (progress_.finished && next_ == progress_.kept) {
        ResolveUnkept(SIZE_MAX);
        return batch.size() > 0;
      }
      if (batch.size() > 0) return true;
      progress_ = collector_.WaitForProgress(progress_);
      resolver_.SetLoaded(Loaded(progress_));
    }
  }

  bool damaged() const { return damaged_; }

 private:
  // Adds the paths of the next entries to `batch`, up to `capacity`, as far
  // as the part loaded settles them.
  void FillLoaded(PathBatch& batch, size_t capacity) {
    const size_t end = std::min(progress_.kept, batch.first + capacity);
    for (; next_ < end; ++next_) {
      PrefetchAhead(next_);
      if (!ResolveUnkept(next_)) return;
      const EntryCollector::PathQuery query{kept_.ParentReference(next_), !kept_.Deleted(next_)};
      // Files of one directory, which mostly follow one another, resolve
      // its path once.
      if (!haveResolved_ || query != resolved_) {
        if (!Resolve(query, path_, pathUtf8_)) return;
        resolved_ = query;
        haveResolved_ = true;
      }
      if (utf8_) {
        batch.utf8Paths.push_back(pathUtf8_);
      } else {
        batch.paths.push_back(path_);
      }
    }
  }
  // Sets the path of the resolver's encoding; false when the chain is not
  // loaded yet.
  bool Resolve(const EntryCollector::PathQuery& query, std::u16string_view& path,
               std::string_view& pathUtf8) {
    const Resolution resolution =
        utf8_ ? resolver_.TryResolveParent(query.parentReference, query.inUse, pathUtf8)
              : resolver_.TryResolveParent(query.parentReference, query.inUse, path);
    if (resolution == Resolution::kNotYetLoaded) return false;
    if (resolution == Resolution::kBroken && query.inUse) damaged_ = true;
    return true;
  }
  // Resolves the queries asked before kept entry `keptBefore`; false when
  // one of them is not loaded yet.
  bool ResolveUnkept(size_t keptBefore) {
    std::u16string_view path;
    std::string_view pathUtf8;
    for (; nextUnkept_ < progress_.unkeptQueries && unkept_[nextUnkept_].keptBefore <= keptBefore;
         ++nextUnkept_) {
      if (!Resolve(unkept_[nextUnkept_].query, path, pathUtf8)) return false;
    }
    return true;
  }
  void PrefetchAhead(size_t index) const {
    if (index + 2 * kLookAhead < progress_.kept) {
      resolver_.PrefetchIndex(kept_.ParentReference(index + 2 * kLookAhead));
    }
    if (index + kLookAhead < progress_.kept) {
      resolver_.PrefetchDirectory(kept_.ParentReference(index + kLookAhead));
    }
  }

  const EntryCollector& collector_;
  const KeptEntries& kept_;
  const ChunkedArray<EntryCollector::UnkeptQuery>& unkept_;
  LoadProgress progress_;
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

// What writes the entries: the settings, the visitor and, while the MFT
// loads, the load's held diagnostic lines, each written in its place.
struct Writing {
  const KeptEntries& kept;
  const ScanSettings& settings;
  FileEntry& entry;
  EntryVisitor& visitor;
  DiagnosticRelay* diagnostics;

  void Visit(size_t first, size_t count, const std::u16string_view* paths,
             const std::string_view* utf8Paths) {
    size_t done = 0;
    // Entries `done` to `end` of these.
    const auto visitUpTo = [&](size_t end) {
      VisitEntries(kept, first + done, end - done, paths == nullptr ? nullptr : paths + done,
                   utf8Paths == nullptr ? nullptr : utf8Paths + done, settings, entry, visitor);
      done = end;
    };
    if (diagnostics != nullptr) {
      for (size_t place = diagnostics->NextPlace(); place < first + count;
           place = diagnostics->NextPlace()) {
        visitUpTo(std::max(place, first + done) - first);
        diagnostics->WriteUpTo(place);
      }
    }
    visitUpTo(count);
  }
  void Visit(const PathBatch& batch) {
    const bool utf8 = !batch.utf8Paths.empty();
    Visit(batch.first, batch.size(), utf8 ? nullptr : batch.paths.data(),
          utf8 ? batch.utf8Paths.data() : nullptr);
  }
};

// Resolves paths on a second thread while this one writes the lines, a few
// batches behind; returns whether a path was damaged. The lines are written
// here, in order, as they would be without the second thread.
bool VisitWithPaths(const EntryCollector& collector, const LoadProgress& progress,
                    char16_t separator, Writing& writing) {
  // The directory filter tests the UTF-16 path.
  BatchResolver resolver(collector, progress, separator,
                         writing.visitor.WantsUtf8Paths() && !writing.settings.hasDirectoryFilter);
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
      writing.Visit(batch);
      batch.paths.clear();
      batch.utf8Paths.clear();
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
    writing.Visit(*batch);
    batches.Written();
  }
  resolving.join();
  if (failure) std::rethrow_exception(failure);
  return resolver.damaged();
}

// Lists what `collector` kept as it is published, with the load's held
// diagnostic lines in their places when `diagnostics` holds them.
ErrorCode ScanPublished(EntryCollector& collector, const ScanSettings& settings, char16_t separator,
                        EntryVisitor& visitor, DiagnosticRelay* diagnostics) {
  FileEntry entry;
  entry.name.reserve(kEntryNameCapacity);
  Writing writing{collector.kept(), settings, entry, visitor, diagnostics};
  LoadProgress progress = collector.WaitForProgress(LoadProgress{});
  bool damaged = false;
  if (EntryCollector::WantsPath(settings)) {
    damaged = VisitWithPaths(collector, progress, separator, writing);
  } else {
    for (size_t written = 0;; progress = collector.WaitForProgress(progress)) {
      writing.Visit(written, progress.kept - written, nullptr, nullptr);
      written = progress.kept;
      if (progress.finished) break;
    }
  }
  // Read once the load has ended: the load marks a damaged record.
  return damaged || collector.damaged() ? kErrorFileCorrupt : kErrorSuccess;
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
  collector.EndLoad();
  return ScanPublished(collector, settings, separator, visitor, nullptr);
}

ErrorCode ScanEntriesWhileLoading(EntryCollector& collector, const ScanSettings& settings,
                                  char16_t separator, EntryVisitor& visitor,
                                  DiagnosticRelay& diagnostics) {
  return ScanPublished(collector, settings, separator, visitor, &diagnostics);
}

}  // namespace skerry
