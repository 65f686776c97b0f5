#include "scan/scan_loop.h"

#include <cstdint>
#include <string>

#include "filters/file_views.h"
#include "scan/path_resolver.h"

namespace skerry {
namespace {

constexpr uint32_t kAttributeSystem = 0x4;

// Lookups in the path cache run ahead of the files by a few, so that each
// finds its memory at hand.
constexpr size_t kLookAhead = 8;

void PrefetchAhead(const KeptEntries& kept, size_t index, const PathResolver& resolver) {
  if (index + 3 * kLookAhead < kept.size()) {
    resolver.PrefetchIndex(kept.ParentReference(index + 3 * kLookAhead));
  }
  if (index + 2 * kLookAhead < kept.size()) {
    resolver.PrefetchDirectory(kept.ParentReference(index + 2 * kLookAhead));
  }
  if (index + kLookAhead < kept.size()) {
    resolver.PrefetchPath(kept.ParentReference(index + kLookAhead));
  }
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
  static const StandardInfoBlock kNoStandardInfo{};
  static const FileNameBlock kNoFileName{};
  collector.directories().Finish();
  PathResolver resolver(collector.directories(), separator);
  const bool wantPath = EntryCollector::WantsPath(settings);
  bool damaged = collector.damaged();
  FileEntry entry;
  entry.name.reserve(kEntryNameCapacity);

  // A file in use whose chain of parents breaks lost part of its path, which
  // is damage; a deleted file's broken chain is stale data. Paths are asked
  // for in MFT order, those of files not kept included, so that the path
  // cache fills as a walk over every record would fill it.
  const KeptEntries& kept = collector.kept();
  const ChunkedArray<EntryCollector::UnkeptQuery>& unkept = collector.unkeptQueries();
  size_t nextUnkept = 0;
  // Resolves the queries asked before kept entry `keptBefore`; returns
  // whether there were any.
  const auto resolveUnkept = [&](size_t keptBefore) {
    const size_t first = nextUnkept;
    std::u16string_view path;
    for (; nextUnkept < unkept.size() && unkept[nextUnkept].keptBefore <= keptBefore;
         ++nextUnkept) {
      const EntryCollector::PathQuery& query = unkept[nextUnkept].query;
      if (!resolver.ResolveParent(query.parentReference, query.inUse, path) && query.inUse) {
        damaged = true;
      }
    }
    return nextUnkept != first;
  };
  // The entry keeps its path from one entry to the next: files of one
  // directory, which mostly follow one another, resolve it once.
  EntryCollector::PathQuery resolved;
  bool haveResolved = false;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (wantPath) {
      PrefetchAhead(kept, i, resolver);
      // The last path given out may not outlive another resolution.
      if (resolveUnkept(i)) haveResolved = false;
    }
    kept.Rehydrate(i, entry);
    if (wantPath) {
      const EntryCollector::PathQuery query{entry.parentReference, !entry.deleted};
      if (!haveResolved || query != resolved) {
        if (!resolver.ResolveParent(query.parentReference, query.inUse, entry.path) &&
            query.inUse) {
          damaged = true;
        }
        resolved = query;
        haveResolved = true;
      }
    } else {
      entry.path = {};
    }
    if (settings.hasDirectoryFilter &&
        !settings.directoryFilter->Matches(kNoStandardInfo, kNoFileName, entry)) {
      continue;
    }
    visitor.Visit(entry);
  }
  if (wantPath) resolveUnkept(SIZE_MAX);
  return damaged ? kErrorFileCorrupt : kErrorSuccess;
}

}  // namespace skerry
