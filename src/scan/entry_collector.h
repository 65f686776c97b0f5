#pragma once
// What a listing gathers while the MFT's records stream by: the directory
// table for paths, the entries that may be printed (those that pass what can
// be decided before their path is known), the parent references of the files
// that are not kept but whose paths must still be resolved, and whether a
// record was damaged.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "filters/scan_settings.h"
#include "ntfs/directory_table.h"
#include "ntfs/mft_stream.h"
#include "platform/chunked_array.h"
#include "scan/file_entry.h"
#include "scan/kept_entries.h"
#include "scan/reference_index.h"

namespace skerry {

// What the collector has published to a thread that lists its entries while
// the MFT still loads: the first `kept` entries, the first `unkeptQueries`
// queries and the first `directories` directory records are there to read,
// and every record below `records` has been consumed; once `finished`,
// everything is, the directories' extension names included.
struct LoadProgress {
  uint64_t records = 0;
  size_t kept = 0;
  size_t unkeptQueries = 0;
  size_t directories = 0;
  bool finished = false;
  bool operator==(const LoadProgress&) const = default;
};

class EntryCollector final : public MftRecordConsumer {
 public:
  // Records between two publications while the MFT loads: a piece of the
  // stream's worth, so that the lines follow the disk closely at the cost
  // of a lock a piece.
  static constexpr uint64_t kPublishInterval = 1024;

  // Whether a listing with `settings` shows or tests paths.
  static bool WantsPath(const ScanSettings& settings) {
    return settings.showDirectory || settings.hasDirectoryFilter || settings.bodyFile;
  }

  explicit EntryCollector(const ScanSettings& settings);
  EntryCollector(const EntryCollector&) = delete;
  EntryCollector& operator=(const EntryCollector&) = delete;

  // A record that could not be decoded is passed over and marks the scan
  // damaged. Every decoded record goes to the directory table and is offered
  // to the settings' record filter (the volume report counts them there);
  // one that passes it, is in use (or deleted, with -e), has a name and
  // passes the attribute selection is kept.
  void Consume(uint64_t number, ErrorCode error, const MFTRecord& record,
               AttributeReader& reader) override;

  // A parent reference to resolve, and whether the file that holds it is in use.
  struct PathQuery {
    uint64_t parentReference = 0;
    bool inUse = false;
    bool operator==(const PathQuery&) const = default;
  };
  // The query of a file that is listable but not kept (the attribute
  // selection left it out), asked before kept entry `keptBefore`.
  struct UnkeptQuery {
    PathQuery query;
    size_t keptBefore = 0;
  };

  DirectoryTable& directories() { return directories_; }
  const DirectoryTable& directories() const { return directories_; }
  const KeptEntries& kept() const { return kept_; }
  // With the kept entries' own parent references, every path the listing
  // asks for, in MFT order: resolving them in that order fills the path cache
  // as a walk over every record would. Files kept need no query of their
  // own, so a listing that keeps everything stores none.
  const ChunkedArray<UnkeptQuery>& unkeptQueries() const { return unkeptQueries_; }
  bool damaged() const { return damaged_; }

  // Makes the collector publish what it has every `interval` records, for
  // a thread that lists the entries while the MFT loads.
  void PublishWhileLoading(uint64_t interval = kPublishInterval) {
    publishInterval_ = interval;
    nextPublication_ = interval;
  }
  // The load has ended, however: names the directories whose name lives in
  // an extension record and publishes everything. Called once, by the
  // loading thread (or before a listing that did not wait for the load).
  void EndLoad();
  // What has been published: at once when it differs from `seen`, else once
  // it does.
  LoadProgress WaitForProgress(const LoadProgress& seen) const;

 private:
  void Collect(uint64_t number, ErrorCode error, const MFTRecord& record, AttributeReader& reader);
  void Publish(LoadProgress progress);

  const ScanSettings& settings_;
  FsFilter* loadFilter_;
  bool wantPath_;
  DirectoryTable directories_;
  KeptEntries kept_;
  FileEntry entry_;
  ChunkedArray<UnkeptQuery> unkeptQueries_;
  // By parent reference: bit 0 set once queried for an unkept file not in
  // use, bit 1 in use.
  ReferenceIndex unkeptQueried_;
  bool damaged_ = false;
  uint64_t publishInterval_ = 0;
  uint64_t nextPublication_ = UINT64_MAX;  // records consumed at the next one
  mutable std::mutex progressMutex_;
  mutable std::condition_variable progressed_;
  LoadProgress progress_;  // under progressMutex_
};

}  // namespace skerry
