#pragma once
// The walk over what the MFT's stream kept that prints a listing: paths
// resolved from the directory table, the directory filter applied, entries
// visited in MFT order.

#include <cstdint>

#include "filters/scan_settings.h"
#include "platform/errors.h"
#include "scan/diagnostic_relay.h"
#include "scan/entry_collector.h"
#include "scan/file_entry.h"

namespace skerry {

class EntryVisitor {
 public:
  virtual ~EntryVisitor() = default;
  virtual void Visit(const FileEntry& entry) = 0;
  // Whether the entries' paths may come as UTF-8 alone (FileEntry::pathUtf8).
  virtual bool WantsUtf8Paths() const { return false; }
};

// Whether the attribute selection prints `entry`: an attribute in `mask`, or
// no attribute at all or a sparse file when the mask asks for system files,
// or, with the stream-count column, a file of several streams or names.
bool PassesAttributeSelection(const FileEntry& entry, uint32_t mask, bool showStreamCount);

// Visits every entry that `collector` kept and the directory filter accepts,
// in MFT order, with its path when the settings want one. Returns
// kErrorFileCorrupt when a record could not be decoded or the path of a file
// in use could not be followed to the root (its entry is still visited,
// under the orphan marker), else 0.
ErrorCode ScanEntries(EntryCollector& collector, const ScanSettings& settings, char16_t separator,
                      EntryVisitor& visitor);

// The same while another thread loads the MFT into `collector` (which
// publishes while it loads) and ends with its EndLoad: entries are visited
// as soon as they and their paths are settled, and the load's diagnostic
// lines, held in `diagnostics`, are written in their places among them.
ErrorCode ScanEntriesWhileLoading(EntryCollector& collector, const ScanSettings& settings,
                                  char16_t separator, EntryVisitor& visitor,
                                  DiagnosticRelay& diagnostics);

}  // namespace skerry
