#include "scan/scan_loop.h"

#include "filters/file_views.h"
#include "scan/entry_reader.h"

namespace skerry {
namespace {

constexpr uint32_t kAttributeSystem = 0x4;
constexpr uint32_t kLastPosition = 0xFFFFFFFF;
// Longer than any NTFS name, so that names never make the entry grow.
constexpr size_t kNameCapacity = 256;

}  // namespace

bool PassesAttributeSelection(const FileEntry& entry, uint32_t mask, bool showStreamCount) {
  const bool systemWanted = (mask & kAttributeSystem) != 0;
  return (entry.attributes & mask) != 0 || (entry.attributes == 0 && systemWanted) ||
         (showStreamCount && (entry.dataCount > 1 || entry.nameCount > 1)) ||
         (entry.sparse && systemWanted);
}

ErrorCode ScanEntries(NtfsVolume& volume, const ScanSettings& settings,
                      bool positionsAreRecordNumbers, EntryVisitor& visitor,
                      std::wostream* diagnostics) {
  static const StandardInfoBlock kNoStandardInfo{};
  static const FileNameBlock kNoFileName{};
  EntryReader reader(volume, positionsAreRecordNumbers, diagnostics);
  StreamFilter observer;
  const bool wantPath = settings.showDirectory || settings.hasDirectoryFilter || settings.bodyFile;
  FileEntry entry;
  entry.name.reserve(kNameCapacity);
  bool damaged = false;

  for (uint32_t position = 0; position != kLastPosition; ++position) {
    entry.name.clear();
    entry.path.clear();
    entry.runs.clear();
    // The path is resolved below, only for entries that can be printed, so
    // that deleted records cost no directory reads.
    const ErrorCode error = reader.ReadEntry(position, entry, false, &observer);
    if (error == kErrorNoMoreFiles) break;
    if (error == kErrorInvalidAccess) return error;
    if (error != kErrorSuccess) {
      damaged = true;
      continue;
    }
    // Zeros where $MFT's bitmap holds a record in use: a damaged run led there.
    if (entry.neverUsed && volume.BitmapHoldsInUse(entry.recordNumber)) {
      damaged = true;
      continue;
    }
    if ((entry.deleted && !settings.includeDeleted) || entry.name.empty()) continue;
    // A file whose path could not be followed to the root is still listed,
    // under the orphan marker; for a file in use, what it lost is reported (a
    // deleted file's broken chain is stale data, not damage).
    if (wantPath && !reader.ResolveEntryPath(entry) && !entry.deleted) damaged = true;
    if (settings.hasDirectoryFilter &&
        !settings.directoryFilter->Matches(kNoStandardInfo, kNoFileName, entry)) {
      continue;
    }
    if (!PassesAttributeSelection(entry, settings.attributeMask, settings.showStreamCount)) {
      continue;
    }
    visitor.Visit(entry);
  }
  return damaged ? kErrorFileCorrupt : kErrorSuccess;
}

}  // namespace skerry
