// The contents of an attribute: a resident value copied out of the record, or
// a non-resident attribute's runs decoded and read from the disk.

#include <algorithm>
#include <new>
#include <stdexcept>

#include "ntfs/checked_arithmetic.h"
#include "ntfs/mft_record.h"
#include "ntfs/run_list.h"
#include "platform/bytes.h"

namespace skerry {
namespace {

constexpr size_t kAttrNonResident = 8;
constexpr size_t kAttrValueLength = 16;
constexpr size_t kAttrValueOffset = 20;
constexpr size_t kAttrRunListOffset = 32;
constexpr size_t kAttrDataSize = 48;

// ReadClusters takes a 32-bit count; a longer run is refused, not truncated.
constexpr uint64_t kMaxRunRead = 0xFFFFFFFF;

uint64_t RunListStart(ByteView record, uint32_t attribute) {
  const uint64_t start = uint64_t{attribute} + record.le16(attribute + kAttrRunListOffset);
  if (!record.Contains(start, 1)) throw BlockException();
  return start;
}

// Whether the disk holds the last byte of the first `bytes` of the run at
// `lcn`: the cluster that holds it is read whole, as a raw device wants.
bool DiskHoldsRunEnd(BlockDevice& disk, uint64_t partitionOffset, uint32_t clusterSize, int64_t lcn,
                     uint64_t bytes, ByteBuffer& cluster) {
  if (lcn < 0 || bytes == 0) return false;
  uint64_t offset = 0;
  if (!CheckedAdd(static_cast<uint64_t>(lcn), (bytes - 1) / clusterSize, offset) ||
      !CheckedMultiply(offset, clusterSize, offset) ||
      !CheckedAdd(offset, partitionOffset, offset) || !disk.Seek(offset)) {
    return false;
  }
  cluster.resize(clusterSize);
  uint32_t got = 0;
  return disk.Read(cluster.data(), clusterSize, got) && got > (bytes - 1) % clusterSize;
}

// A read of a large attribute (the MFT) is given its whole size at once, so
// that the buffer neither grows by copying nor holds twice the data while it
// does. The size counts the runs up to the data size, the cap, and only the
// runs whose last cluster the disk holds: what a hostile record claims beyond
// its runs or beyond the disk is not reserved. Unfiltered reads still ask
// for no more than has already arrived, and a filtered read reuses one
// piece's room for the records it drops, so pages are used only as kept
// bytes fill them. A reservation the system refuses is simply not made.
void ReserveForRuns(ByteBuffer& out, ByteView record, uint64_t runListStart, uint64_t dataSize,
                    uint64_t maxData, BlockDevice& disk, uint64_t partitionOffset,
                    uint32_t clusterSize) {
  const uint64_t room = maxData > out.size() ? maxData - out.size() : 0;
  const uint64_t wanted = std::min(dataSize, room);
  // Smaller attributes grow cheaply enough, and are not worth the extra reads.
  if (wanted < kHugePageThreshold) return;
  uint64_t runBytes = 0;
  RunListReader reader(record, runListStart, clusterSize);
  DecodedRun run;
  ByteBuffer cluster;
  try {
    uint64_t remaining = dataSize;
    while (remaining > 0 && runBytes < wanted && reader.Next(run)) {
      // The same share of the run as the read takes; a run it refuses needs
      // no room.
      const uint64_t take = std::min(run.byteLength, remaining);
      if (take > kMaxRunRead) break;
      const uint64_t counted = std::min(take, wanted - runBytes);
      if (!DiskHoldsRunEnd(disk, partitionOffset, clusterSize, run.lcn, counted, cluster)) break;
      runBytes += counted;
      remaining -= take;
    }
  } catch (const BlockException&) {
    // The read that follows meets the same fault at the same run, after the
    // runs before it, and reports it.
  } catch (const ByteRangeError&) {
  }
  if (runBytes > out.max_size() - out.size()) return;
  try {
    out.reserve(out.size() + static_cast<size_t>(runBytes));
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

}  // namespace

ErrorCode MFTRecord::ReadAttributeData(uint32_t attributeOffset, ByteBuffer& out, uint64_t maxData,
                                       FsFilter* loadFilter) {
  try {
    const ByteView record(buffer_, bufferSize_);
    if (record.u8(attributeOffset + kAttrNonResident) == 0) {
      const uint32_t length = record.le32(attributeOffset + kAttrValueLength);
      if (out.size() + uint64_t{length} > maxData) return kErrorNotEnoughMemory;
      const ByteView value = record.Sub(
          uint64_t{attributeOffset} + record.le16(attributeOffset + kAttrValueOffset), length);
      out.insert(out.end(), value.data(), value.data() + value.size());
      return kErrorSuccess;
    }

    runs.clear();
    if (clusterSize_ == 0) return kErrorInvalidParameter;  // no geometry given
    const uint64_t runListStart = RunListStart(record, attributeOffset);
    RunListReader reader(record, runListStart, clusterSize_);
    // The attribute's contents end at its data size; clusters allocated
    // beyond it hold nothing of the attribute (ntfs-3g leaves the MFT's
    // records there zeroed), so they are neither read nor listed.
    uint64_t remaining = record.le64(attributeOffset + kAttrDataSize);
    if (handle != nullptr) {
      ReserveForRuns(out, record, runListStart, remaining, maxData, *handle, partitionOffset_,
                     clusterSize_);
    }
    DecodedRun run;
    while (remaining > 0 && reader.Next(run)) {
      const uint64_t take = std::min(run.byteLength, remaining);
      if (take > kMaxRunRead) return kErrorFileTooLarge;
      const uint64_t clustersInUse = (take + clusterSize_ - 1) / clusterSize_;
      runs.push_back(RunEntry{run.lcn, clustersInUse * clusterSize_});
      if (out.size() > maxData) return kErrorNotEnoughMemory;
      // Bytes past the cap are never used: a value whose run claims gigabytes
      // (a damaged $FILE_NAME, say) reads one byte beyond the cap, enough for
      // the next run to be refused, and no more.
      const uint64_t room = maxData - out.size();
      const uint64_t count = take > room ? room + 1 : take;
      if (ErrorCode error =
              ReadClusters(Lcn{run.lcn}, out, static_cast<uint32_t>(count), loadFilter)) {
        return error;
      }
      remaining -= take;
    }
    return kErrorSuccess;
  } catch (const ByteRangeError&) {
    throw BlockException();
  }
}

ErrorCode MFTRecord::BuildRunList(uint32_t attributeOffset) {
  runs.clear();
  try {
    const ByteView record(buffer_, bufferSize_);
    if (record.u8(attributeOffset + kAttrNonResident) == 0) return kErrorSuccess;
    RunListReader reader(record, RunListStart(record, attributeOffset), clusterSize_);
    DecodedRun run;
    while (reader.Next(run)) runs.push_back(RunEntry{run.lcn, run.byteLength});
    return kErrorSuccess;
  } catch (const ByteRangeError&) {
    throw BlockException();
  }
}

}  // namespace skerry
