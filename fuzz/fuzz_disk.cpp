#include "fuzz_disk.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace skerry::fuzz {

FuzzDisk::FuzzDisk(ByteView bytes, uint64_t size, bool wrap)
    : bytes_(bytes), size_(wrap ? size : std::min<uint64_t>(size, bytes.size())) {}

bool FuzzDisk::Seek(uint64_t offset) {
  position_ = offset;
  return true;
}

bool FuzzDisk::Read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  if (position_ >= size_) return true;
  const auto total = static_cast<uint32_t>(std::min<uint64_t>(count, size_ - position_));
  auto* to = static_cast<uint8_t*>(buffer);
  if (bytes_.size() == 0) {
    std::memset(to, 0, total);
  } else {
    // Copied piece by piece, each piece up to the end of the input (wrapping).
    uint32_t done = 0;
    while (done < total) {
      const uint64_t at = (position_ + done) % bytes_.size();
      const auto piece =
          static_cast<uint32_t>(std::min<uint64_t>(total - done, bytes_.size() - at));
      std::memcpy(to + done, bytes_.data() + at, piece);
      done += piece;
    }
  }
  position_ += total;
  bytesRead = total;
  return true;
}

bool FuzzDisk::QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) {
  deviceNumber = 0;
  partitionNumber = 1;
  return true;
}

std::unique_ptr<BlockDevice> FuzzOpener::Open(std::u16string_view, DeviceAccess, ErrorCode& error) {
  error = kErrorSuccess;
  return std::make_unique<FuzzDisk>(bytes_, size_, wrap_);
}

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

}  // namespace skerry::fuzz
