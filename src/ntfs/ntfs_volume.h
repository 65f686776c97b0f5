#pragma once
// One NTFS volume, read through the physical disk that holds it: the boot
// sector's geometry, and the MFT read once, in order, as a stream of parsed
// records handed to a consumer (mft_stream.h); no record is kept.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/mft_record.h"
#include "ntfs/mft_stream.h"
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
  // partition's boot sector and streams the MFT's records to `consumer`
  // (none: they are only counted). kErrorArithmeticOverflow for a partition
  // whose start does not fit 32 bits.
  ErrorCode Mount(std::u16string_view physicalName, const PartitionEntry& entry, char16_t separator,
                  MftRecordConsumer* consumer);
  // kErrorInvalidDrive when the partition holds no NTFS boot sector,
  // kErrorInvalidParameter when its geometry is out of bounds.
  ErrorCode ReadBootSector(MftRecordConsumer* consumer);
  // Reads record 0 at `mftCluster` and, when it is "$MFT", streams the
  // MFT's records to `consumer`. kErrorInvalidParameter when record 0 has no
  // "FILE" signature; kErrorBadDevice when it is not "$MFT";
  // kErrorDiskCorrupt when it is damaged or has no $DATA that holds a
  // record; kErrorNotEnoughMemory when the consumer runs out of memory. A
  // disk that
  // ends inside the MFT's data, runs that end before its data size and a
  // data size that ends inside a record are a success with the whole
  // records read (see mftLoadError); records already handed over are not
  // taken back when the load fails later.
  ErrorCode LoadMft(uint64_t mftCluster, MftRecordConsumer* consumer);
  // The size of the stream's reused buffer (tests make it small, so that
  // records straddle its refills).
  void SetStreamBufferSize(size_t bytes) { streamBufferSize_ = bytes; }

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
  // The number of whole records the load handed over.
  uint64_t mftRecordCount() const { return mftRecordCount_; }
  // The runs that hold the MFT's data, in the order of its virtual clusters
  // (the last one cut to the clusters that its data size uses).
  const std::vector<RunEntry>& mftRuns() const { return mftRuns_; }
  // The number of runs that record 0 lists for the MFT's data, those past
  // its data size included (mftRuns holds only the runs the load read).
  uint64_t mftListedRunCount() const { return mftListedRunCount_; }
  const AttributeCounts& attributeCounts() const { return attributeCounts_; }
  // kErrorSuccess; kErrorHandleEof when the disk ended inside the MFT's data:
  // the records read before that end are loaded and the rest are missing;
  // kErrorDiskCorrupt when record 0's runs end before its data size or that
  // size is not a whole number of records. Either way the records handed
  // over are listed and the run ends with it.
  ErrorCode mftLoadError() const { return mftLoadError_; }

 private:
  DeviceOpener& opener_;
  char16_t separator_ = u'\\';
  std::unique_ptr<BlockDevice> handle_;
  bool loaded_ = false;
  uint32_t startSector_ = 0;
  uint32_t clusterSize_ = 0;
  uint32_t bytesPerSector_ = 0;
  size_t streamBufferSize_ = kMftStreamBufferSize;
  uint64_t mftRecordCount_ = 0;
  std::vector<uint8_t> recordBuffer_;
  uint32_t recordSize_ = 0;
  std::vector<RunEntry> mftRuns_;
  uint64_t mftListedRunCount_ = 0;
  // $MFT's bitmap of records in use; empty when record 0 has none readable.
  ByteBuffer mftBitmap_;
  AttributeCounts attributeCounts_{};
  ErrorCode mftLoadError_ = kErrorSuccess;
  std::wostream* diagnostics_ = nullptr;
};

}  // namespace skerry
