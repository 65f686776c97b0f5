#include "ntfs/attribute_reader.h"

#include <algorithm>

#include "ntfs/attribute_header.h"
#include "ntfs/block_exception.h"
#include "ntfs/checked_arithmetic.h"
#include "ntfs/run_list.h"
#include "platform/bytes.h"

namespace skerry {
namespace {

// ReadClusters takes a 32-bit count: a longer run (the MFT of a volume with
// millions of files is often one run of several GiB) is read in pieces of
// this many bytes at most, each a whole number of clusters.
constexpr uint64_t kMaxPieceBytes = uint64_t{1} << 30;

uint64_t RunListStart(ByteView record, uint32_t attribute) {
  const uint64_t start = uint64_t{attribute} + record.le16(attribute + kAttrRunListOffset);
  if (!record.Contains(start, 1)) throw BlockException();
  return start;
}

}  // namespace

ErrorCode AttributeReader::Read(ByteView record, uint32_t attributeOffset, ByteBuffer& out,
                                uint64_t maxData, std::vector<RunEntry>* runs) {
  ByteBufferSink sink(out);
  return Read(record, attributeOffset, sink, maxData, runs);
}

ErrorCode AttributeReader::Read(ByteView record, uint32_t attributeOffset, ClusterSink& out,
                                uint64_t maxData, std::vector<RunEntry>* runs) {
  try {
    if (record.u8(attributeOffset + kAttrNonResident) == 0) {
      const uint32_t length = record.le32(attributeOffset + kAttrValueLength);
      if (out.size() + uint64_t{length} > maxData) return kErrorNotEnoughMemory;
      out.Append(record.Sub(
          uint64_t{attributeOffset} + record.le16(attributeOffset + kAttrValueOffset), length));
      return kErrorSuccess;
    }

    if (runs != nullptr) runs->clear();
    if (clusterSize_ == 0) return kErrorInvalidParameter;  // no geometry given
    const uint64_t runListStart = RunListStart(record, attributeOffset);
    RunListReader reader(record, runListStart, clusterSize_);
    // The attribute's contents end at its data size; clusters allocated
    // beyond it hold nothing of the attribute (ntfs-3g leaves the MFT's
    // records there zeroed), so they are neither read nor listed.
    uint64_t remaining = record.le64(attributeOffset + kAttrDataSize);
    DecodedRun run;
    while (remaining > 0 && reader.Next(run)) {
      const uint64_t take = std::min(run.byteLength, remaining);
      const uint64_t clustersInUse = (take + clusterSize_ - 1) / clusterSize_;
      if (runs != nullptr) runs->push_back(RunEntry{run.lcn, clustersInUse * clusterSize_});
      if (out.size() > maxData) return kErrorNotEnoughMemory;
      // Bytes past the cap are never used: a value whose run claims gigabytes
      // (a damaged $FILE_NAME, say) reads one byte beyond the cap, enough for
      // the next run to be refused, and no more.
      const uint64_t room = maxData - out.size();
      const uint64_t count = take > room ? room + 1 : take;
      if (ErrorCode error = ReadRun(run.lcn, out, count)) return error;
      remaining -= take;
    }
    return kErrorSuccess;
  } catch (const ByteRangeError&) {
    throw BlockException();
  }
}

ErrorCode AttributeReader::ReadRun(Lcn lcn, ClusterSink& out, uint64_t byteCount) {
  const uint64_t pieceBytes = kMaxPieceBytes / clusterSize_ * clusterSize_;
  while (byteCount > pieceBytes) {
    if (ErrorCode error = ReadClusters(lcn, out, static_cast<uint32_t>(pieceBytes))) return error;
    byteCount -= pieceBytes;
    if (__builtin_add_overflow(lcn.value, static_cast<int64_t>(pieceBytes / clusterSize_),
                               &lcn.value)) {
      return kErrorArithmeticOverflow;
    }
  }
  return ReadClusters(lcn, out, static_cast<uint32_t>(byteCount));
}

ErrorCode AttributeReader::ReadClusters(Lcn lcn, ClusterSink& out, uint32_t byteCount) {
  if (lcn.value < 0) return kErrorNegativeSeek;
  uint64_t offset = 0;
  if (!CheckedMultiply(static_cast<uint64_t>(lcn.value), clusterSize_, offset) ||
      !CheckedAdd(offset, partitionOffset_, offset)) {
    return kErrorArithmeticOverflow;
  }
  if (device_ == nullptr) return kErrorInvalidHandle;
  return out.ReadFrom(*device_, offset, byteCount);
}

}  // namespace skerry
