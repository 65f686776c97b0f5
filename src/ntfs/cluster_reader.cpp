// Reading clusters from the disk, and the filtered read that tests the MFT
// records among them as they arrive.

#include <algorithm>
#include <cstring>

#include "ntfs/checked_arithmetic.h"
#include "ntfs/mft_record.h"

namespace skerry {
namespace {

// An unfiltered read grows its buffer as bytes arrive: each request is at
// most what has already arrived (doubling), with this as the first step. A
// run that claims far more than the disk holds then costs no more memory
// than the disk gave back, while a sound MFT is read in a handful of requests.
constexpr uint32_t kFirstReadStep = 16 * 1024 * 1024;

}  // namespace

ErrorCode MFTRecord::ReadClusters(Lcn lcn, ByteBuffer& out, uint32_t byteCount,
                                  FsFilter* loadFilter) {
  if (lcn.value < 0) return kErrorNegativeSeek;
  uint64_t offset = 0;
  if (!CheckedMultiply(static_cast<uint64_t>(lcn.value), clusterSize_, offset) ||
      !CheckedAdd(offset, partitionOffset_, offset)) {
    return kErrorArithmeticOverflow;
  }
  if (handle == nullptr) return kErrorInvalidHandle;
  if (!handle->Seek(offset)) return handle->LastError();
  if (loadFilter != nullptr && loadFilter->FiltersOnLoad()) {
    return ReadFiltered(out, byteCount, *loadFilter);
  }
  return ReadUnfiltered(out, byteCount);
}

ErrorCode MFTRecord::ReadUnfiltered(ByteBuffer& out, uint32_t byteCount) {
  const size_t start = out.size();
  uint32_t remaining = byteCount;
  while (remaining > 0) {
    const size_t before = out.size();
    const uint64_t step = std::max<uint64_t>(kFirstReadStep, before - start);
    const auto request = static_cast<uint32_t>(std::min<uint64_t>(remaining, step));
    out.resize(before + request);
    uint32_t got = 0;
    if (!handle->Read(out.data() + before, request, got)) {
      out.resize(before);
      return handle->LastError();
    }
    got = std::min(got, request);
    out.resize(before + got);
    if (got == 0) return kErrorHandleEof;
    remaining -= got;
  }
  return kErrorSuccess;
}

// Reads in pieces of kLoadPieceClusters clusters. After each piece its whole
// records are parsed; those that parse and pass the filter move up over the
// rejected ones and the rest of the piece is cut off, so memory holds the
// kept records and at most one piece. The bytes of a record that a short
// read split wait at the end for the rest of it, so a short read never
// shifts the records that follow.
ErrorCode MFTRecord::ReadFiltered(ByteBuffer& out, uint32_t byteCount, FsFilter& loadFilter) {
  MFTRecord piece;
  if (recordSize_ != 0 && clusterSize_ != 0 && recordSize_ % 2 == 0 && clusterSize_ % 2 == 0) {
    piece.SetGeometry(0, recordSize_, clusterSize_);
  }
  piece.SetDiagnosticStream(diagnostics_);
  piece.SetRecordLimit(recordLimit_);
  const uint64_t pieceBytes = uint64_t{kLoadPieceClusters} * clusterSize_;

  size_t pending = 0;  // bytes of an incomplete record at the end of `out`
  // Where the next whole record starts, counted from the MFT's first byte.
  uint64_t nextRecordOffset = filteredBytesSeen_;
  uint32_t remaining = byteCount;
  while (remaining > 0) {
    const size_t base = out.size() - pending;
    const auto request = static_cast<uint32_t>(std::min<uint64_t>(remaining, pieceBytes));
    out.resize(base + pending + request);
    uint32_t got = 0;
    if (!handle->Read(out.data() + base + pending, request, got)) {
      out.resize(base);
      return handle->LastError();
    }
    got = std::min(got, request);
    if (got == 0) {
      out.resize(base);
      return kErrorHandleEof;
    }
    remaining -= got;
    filteredBytesSeen_ += got;

    const size_t available = pending + got;
    const size_t whole = available / recordSize_;
    size_t kept = base;
    for (size_t i = 0; i < whole; ++i) {
      uint8_t* bytes = out.data() + base + i * recordSize_;
      piece.ExpectRecordNumber((nextRecordOffset + i * recordSize_) / recordSize_);
      if (piece.TryParse(bytes, recordSize_, false, 0, nullptr, nullptr) != kErrorSuccess) {
        droppedDamagedRecord = true;
        continue;
      }
      if (piece.neverUsed && BitmapHoldsInUse((nextRecordOffset + i * recordSize_) / recordSize_)) {
        droppedDamagedRecord = true;
        continue;
      }
      if (!loadFilter.Matches(piece.standardInfo, piece.fileName, piece)) continue;
      if (bytes != out.data() + kept) std::memmove(out.data() + kept, bytes, recordSize_);
      kept += recordSize_;
      keptRecordNumbers.push_back(
          static_cast<uint32_t>((nextRecordOffset + i * recordSize_) / recordSize_));
    }
    nextRecordOffset += whole * recordSize_;
    pending = available - whole * recordSize_;
    if (pending > 0)
      std::memmove(out.data() + kept, out.data() + base + whole * recordSize_, pending);
    out.resize(kept + pending);

    // Entry 0 (types 0x100, 0x200, ...) is not carried over: the report shows
    // only entries 1 to 14.
    for (size_t i = 1; i < attributeCounts.size(); ++i)
      attributeCounts[i] += piece.attributeCounts[i];
    piece.attributeCounts.fill(0);
  }
  out.resize(out.size() - pending);
  return kErrorSuccess;
}

}  // namespace skerry
