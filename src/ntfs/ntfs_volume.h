#pragma once
// One NTFS volume, read through the physical disk that holds it: the boot
// sector's geometry, the MFT loaded into memory in one pass (optionally
// filtered as it arrives), and the MFT's runs for later reads of single records.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filters/fs_filter.h"
#include "ntfs/mft_record.h"
#include "ntfs/partition_entry.h"
#include "ntfs/run_entry.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

class NtfsVolume {
 public:
  NtfsVolume();
  explicit NtfsVolume(DeviceOpener& opener);
  NtfsVolume(const NtfsVolume&) = delete;
  NtfsVolume& operator=(const NtfsVolume&) = delete;
  ~NtfsVolume();

  // Attaches to the disk (keeping a disk already attached), reads the
  // partition's boot sector and loads the MFT. kErrorArithmeticOverflow for
  // a partition whose start does not fit 32 bits.
  ErrorCode Mount(std::u16string_view physicalName, const PartitionEntry& entry, char16_t separator,
                  FsFilter* loadFilter);
  // kErrorInvalidDrive when the partition holds no NTFS boot sector,
  // kErrorInvalidParameter when its geometry is out of bounds.
  ErrorCode ReadBootSector(FsFilter* loadFilter);
  // Reads record 0 at `mftCluster` and, when it is "$MFT", the MFT's data.
  // kErrorInvalidParameter when record 0 has no "FILE" signature;
  // kErrorBadDevice when it is not "$MFT"; kErrorDiskCorrupt when it is
  // damaged or has no $DATA that holds a record; kErrorNotEnoughMemory when the
  // MFT does not fit in memory. A disk that ends inside the MFT's data, runs
  // that end before its data size and a data size that ends inside a record
  // are a success with the whole records read (see mftLoadError).
  ErrorCode LoadMft(uint64_t mftCluster, FsFilter* loadFilter);

  // Where the record parser's diagnostic line goes (standard error unless set).
  void SetDiagnosticStream(std::wostream* stream) { diagnostics_ = stream; }
  std::wostream* diagnosticStream() const { return diagnostics_; }

  char16_t separator() const { return separator_; }
  BlockDevice* handle() const { return handle_.get(); }
  bool loaded() const { return loaded_; }
  uint32_t startSector() const { return startSector_; }
  uint32_t clusterSize() const { return clusterSize_; }
  uint32_t bytesPerSector() const { return bytesPerSector_; }
  uint32_t recordSize() const { return recordSize_; }
  // bytesPerSector × startSector: where the partition begins on the disk.
  uint64_t partitionOffset() const { return uint64_t{bytesPerSector_} * startSector_; }
  // Records back to back, recordSize bytes each; position k is record k
  // unless a load filter dropped records. Records are kept as the disk holds
  // them: the parser fixes up a copy.
  ByteBuffer& mftData() { return mftData_; }
  const ByteBuffer& mftData() const { return mftData_; }
  // The number of the record at `position` of mftData(): the position itself
  // unless a load filter dropped records.
  uint64_t RecordNumberAt(uint32_t position) const {
    return position < mftRecordNumbers_.size() ? mftRecordNumbers_[position] : position;
  }
  // Whether $MFT's bitmap holds record `number` in use (false without a bitmap).
  bool BitmapHoldsInUse(uint64_t number) const {
    return number / 8 < mftBitmap_.size() && (mftBitmap_[number / 8] >> (number % 8) & 1) != 0;
  }
  // The runs that hold the MFT's data, in the order of its virtual clusters.
  const std::vector<RunEntry>& mftRuns() const { return mftRuns_; }
  // The number of runs that record 0 lists for the MFT's data, those past
  // its data size included (mftRuns holds only the runs the load read).
  uint64_t mftListedRunCount() const { return mftListedRunCount_; }
  const AttributeCounts& attributeCounts() const { return attributeCounts_; }
  // kErrorSuccess; kErrorHandleEof when the disk ended inside the MFT's data:
  // the records read before that end are loaded and the rest are missing;
  // kErrorDiskCorrupt when record 0's runs end before its data size or that
  // size is not a whole number of records; kErrorFileCorrupt when a filtered
  // load passed over records it could not parse. Either way the records
  // loaded are listed and the run ends with it.
  ErrorCode mftLoadError() const { return mftLoadError_; }
  // How many records the MFT's runs can hold: a record number at or past it
  // names no record.
  uint64_t mftRecordLimit() const { return mftRecordLimit_; }

 private:
  DeviceOpener& opener_;
  char16_t separator_ = u'\\';
  std::unique_ptr<BlockDevice> handle_;
  bool loaded_ = false;
  uint32_t startSector_ = 0;
  uint32_t clusterSize_ = 0;
  uint32_t bytesPerSector_ = 0;
  ByteBuffer mftData_;
  std::vector<uint8_t> recordBuffer_;
  uint32_t recordSize_ = 0;
  std::vector<RunEntry> mftRuns_;
  uint64_t mftListedRunCount_ = 0;
  // $MFT's bitmap of records in use; empty when record 0 has none readable.
  ByteBuffer mftBitmap_;
  // Empty unless a load filter dropped records; then the number of each kept one.
  std::vector<uint32_t> mftRecordNumbers_;
  AttributeCounts attributeCounts_{};
  ErrorCode mftLoadError_ = kErrorSuccess;
  uint64_t mftRecordLimit_ = 0;
  std::wostream* diagnostics_ = nullptr;
};

}  // namespace skerry
