#include "ntfs/cluster_sink.h"

#include <algorithm>

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

}  // namespace skerry
