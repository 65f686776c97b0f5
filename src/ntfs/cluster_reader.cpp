// Reading clusters from the disk into a sink.

#include <algorithm>

#include "ntfs/checked_arithmetic.h"
#include "ntfs/cluster_sink.h"
#include "ntfs/mft_record.h"

namespace skerry {
namespace {

// A buffer grows as bytes arrive: each request is at most what has already
// arrived (doubling), with this as the first step. A run that claims far more
// than the disk holds then costs no more memory than the disk gave back.
constexpr uint32_t kFirstReadStep = 16 * 1024 * 1024;

}  // namespace

ErrorCode ByteBufferSink::ReadFrom(BlockDevice& device, uint64_t offset, uint32_t byteCount) {
  if (!device.Seek(offset)) return device.LastError();
  const size_t start = out_.size();
  uint32_t remaining = byteCount;
  while (remaining > 0) {
    const size_t before = out_.size();
    const uint64_t step = std::max<uint64_t>(kFirstReadStep, before - start);
    const auto request = static_cast<uint32_t>(std::min<uint64_t>(remaining, step));
    out_.resize(before + request);
    uint32_t got = 0;
    if (!device.Read(out_.data() + before, request, got)) {
      out_.resize(before);
      return device.LastError();
    }
    got = std::min(got, request);
    out_.resize(before + got);
    if (got == 0) return kErrorHandleEof;
    remaining -= got;
  }
  return kErrorSuccess;
}

ErrorCode MFTRecord::ReadClusters(Lcn lcn, ClusterSink& out, uint32_t byteCount) {
  if (lcn.value < 0) return kErrorNegativeSeek;
  uint64_t offset = 0;
  if (!CheckedMultiply(static_cast<uint64_t>(lcn.value), clusterSize_, offset) ||
      !CheckedAdd(offset, partitionOffset_, offset)) {
    return kErrorArithmeticOverflow;
  }
  if (handle == nullptr) return kErrorInvalidHandle;
  return out.ReadFrom(*handle, offset, byteCount);
}

}  // namespace skerry
