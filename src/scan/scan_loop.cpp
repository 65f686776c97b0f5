#include "scan/scan_loop.h"

#include <string>

#include "filters/file_views.h"
#include "scan/path_resolver.h"

namespace skerry {
namespace {

constexpr uint32_t kAttributeSystem = 0x4;

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
  // is damage; a deleted file's broken chain is stale data.
  if (wantPath) {
    for (const EntryCollector::PathQuery& query : collector.pathQueries()) {
      if (!resolver.ResolveParent(query.parentReference, query.inUse, entry.path) && query.inUse) {
        damaged = true;
      }
    }
  }
  const KeptEntries& kept = collector.kept();
  // The entry keeps its path from one entry to the next: files of one
  // directory, which mostly follow one another, resolve it once.
  EntryCollector::PathQuery resolved;
  bool haveResolved = false;
  // Lookups in the path cache run ahead of the lines by a few files, so
  // that each finds its memory at hand.
  constexpr size_t kAhead = 8;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (wantPath) {
      if (i + 3 * kAhead < kept.size()) resolver.PrefetchIndex(kept.ParentReference(i + 3 * kAhead));
      if (i + 2 * kAhead < kept.size()) {
        resolver.PrefetchDirectory(kept.ParentReference(i + 2 * kAhead));
      }
      if (i + kAhead < kept.size()) resolver.PrefetchPath(kept.ParentReference(i + kAhead));
    }
    kept.Rehydrate(i, entry);
    if (wantPath) {
      const EntryCollector::PathQuery query{entry.parentReference, !entry.deleted};
      if (!haveResolved || query != resolved) {
        resolver.ResolveParent(query.parentReference, query.inUse, entry.path);
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
  return damaged ? kErrorFileCorrupt : kErrorSuccess;
}

}  // namespace skerry
