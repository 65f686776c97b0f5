#pragma once
// Where path resolution gets a directory's record by its number: straight from
// the MFT in memory when a position there is a record number, else from the
// disk through the MFT's runs.

#include <cstdint>
#include <vector>

#include "ntfs/mft_record.h"
#include "ntfs/ntfs_volume.h"
#include "platform/errors.h"

namespace skerry {

class RecordSource {
 public:
  // `positionsAreRecordNumbers`: the MFT was loaded without a filter that
  // drops records, so position k of the volume's MFT data is record k.
  RecordSource(NtfsVolume& volume, bool positionsAreRecordNumbers);
  RecordSource(const RecordSource&) = delete;
  RecordSource& operator=(const RecordSource&) = delete;

  // Points `record` at the recordSize bytes of record `recordNumber`, valid
  // until the next call. kErrorInvalidBlock when no run of the MFT holds the
  // whole record; else the code of the disk read.
  ErrorCode Fetch(uint64_t recordNumber, uint8_t*& record);

 private:
  ErrorCode ReadFromDisk(uint64_t recordNumber);
  ErrorCode ReadPiece(const RunEntry& run, uint64_t offsetInRun, uint64_t length, uint8_t* to);

  NtfsVolume& volume_;
  bool inMemory_;
  // Reads clusters from the volume's disk; parses nothing.
  MFTRecord clusterReader_;
  ByteBuffer clusters_;
  std::vector<uint8_t> record_;
};

}  // namespace skerry
