#include "scan/record_source.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "ntfs/checked_arithmetic.h"

namespace skerry {

RecordSource::RecordSource(NtfsVolume& volume, bool positionsAreRecordNumbers)
    : volume_(volume), inMemory_(positionsAreRecordNumbers) {
  clusterReader_.handle = volume.handle();
  clusterReader_.SetGeometry(volume.partitionOffset(), volume.recordSize(), volume.clusterSize());
}

ErrorCode RecordSource::Fetch(uint64_t recordNumber, uint8_t*& record) {
  const uint64_t recordSize = volume_.recordSize();
  if (recordSize == 0) return kErrorInvalidAccess;
  ByteBuffer& mft = volume_.mftData();
  // Records past the MFT in memory (those beyond its data size) are still
  // looked for on the disk, so that both ways give the same listing.
  if (inMemory_ && recordNumber < mft.size() / recordSize) {
    record = mft.data() + recordNumber * recordSize;
    return kErrorSuccess;
  }
  if (ErrorCode error = ReadFromDisk(recordNumber)) return error;
  record = record_.data();
  return kErrorSuccess;
}

// The record's bytes are gathered run by run, so that a record larger than a
// cluster, even one whose clusters lie in two runs, is read whole.
ErrorCode RecordSource::ReadFromDisk(uint64_t recordNumber) {
  const uint32_t recordSize = volume_.recordSize();
  uint64_t first = 0;
  if (!CheckedMultiply(recordNumber, recordSize, first)) return kErrorInvalidBlock;
  record_.resize(recordSize);
  uint64_t filled = 0;
  uint64_t runStart = 0;
  for (const RunEntry& run : volume_.mftRuns()) {
    uint64_t runEnd = 0;
    if (!CheckedAdd(runStart, run.byteLength, runEnd)) break;
    const uint64_t wanted = first + filled;
    if (wanted >= runStart && wanted < runEnd) {
      const uint64_t length = std::min<uint64_t>(recordSize - filled, runEnd - wanted);
      if (ErrorCode error = ReadPiece(run, wanted - runStart, length, record_.data() + filled)) {
        return error;
      }
      filled += length;
      if (filled == recordSize) return kErrorSuccess;
    }
    runStart = runEnd;
  }
  return kErrorInvalidBlock;
}

// Reads the whole clusters that hold `length` bytes from `offsetInRun` of
// `run` and copies those bytes to `to`.
ErrorCode RecordSource::ReadPiece(const RunEntry& run, uint64_t offsetInRun, uint64_t length,
                                  uint8_t* to) {
  const uint64_t clusterSize = volume_.clusterSize();
  const uint64_t firstCluster = offsetInRun / clusterSize;
  const uint64_t skip = offsetInRun % clusterSize;
  // At most a record (64 KiB) and two clusters (2 MiB each): it fits 32 bits.
  const uint64_t byteCount = (skip + length + clusterSize - 1) / clusterSize * clusterSize;
  Lcn lcn;
  if (firstCluster > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ||
      __builtin_add_overflow(run.lcn, static_cast<int64_t>(firstCluster), &lcn.value) ||
      byteCount > std::numeric_limits<uint32_t>::max()) {
    return kErrorInvalidBlock;
  }
  clusters_.clear();
  if (ErrorCode error =
          clusterReader_.ReadClusters(lcn, clusters_, static_cast<uint32_t>(byteCount), nullptr)) {
    return error;
  }
  if (clusters_.size() < skip + length) return kErrorHandleEof;
  std::memcpy(to, clusters_.data() + skip, length);
  return kErrorSuccess;
}

}  // namespace skerry
