#pragma once
// Small NTFS volumes for tests: a master boot record with one NTFS entry, the
// boot sector, and an MFT laid out over chosen runs, whose record 0 ($MFT)
// lists those runs.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "support/memory_disk.h"

namespace skerry::test {

struct MftRun {
  uint64_t lcn = 0;
  uint64_t clusters = 0;
};

struct VolumeLayout {
  uint32_t startSector = 128;
  uint16_t bytesPerSector = 512;
  uint8_t sectorsPerCluster = 8;
  uint8_t clustersPerRecord = 0xF6;  // 1024-byte records
  uint32_t recordSize = 1024;        // must agree with clustersPerRecord
  // Empty: one run at cluster 4 just long enough for the records.
  std::vector<MftRun> mftRuns;
  // The $MFT's data size; by default the records given, up to the last one.
  std::optional<uint64_t> mftDataSize;
  // Where the boot sector says the MFT starts; by default the first run's cluster.
  std::optional<uint64_t> mftCluster;
};

class VolumeBuilder {
 public:
  explicit VolumeBuilder(VolumeLayout layout = {}) : layout_(std::move(layout)) {}

  // Record `number` (1 and above; record 0 is built from the layout).
  VolumeBuilder& SetRecord(uint64_t number, std::vector<uint8_t> record);
  // Records 1 to count, files named file1, file2, ... in the root.
  VolumeBuilder& AddFiles(uint64_t count);
  // Replaces the generated record 0.
  VolumeBuilder& SetRecordZero(std::vector<uint8_t> record);

  uint32_t ClusterSize() const {
    return uint32_t{layout_.bytesPerSector} * layout_.sectorsPerCluster;
  }
  std::vector<MftRun> Runs() const;
  uint64_t DataSize() const;
  // Record 0 as generated from the layout.
  std::vector<uint8_t> MftRecord() const;
  // Byte offset of record `number` on the disk.
  uint64_t RecordOffset(uint64_t number) const;

  std::shared_ptr<DiskImage> Build() const;

 private:
  VolumeLayout layout_;
  std::map<uint64_t, std::vector<uint8_t>> records_;
};

}  // namespace skerry::test
