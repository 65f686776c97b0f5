#include "support/memory_disk.h"

#include <algorithm>
#include <cstring>

namespace skerry::test {

void DiskImage::Write(uint64_t offset, std::span<const uint8_t> data) {
  if (bytes.size() < offset + data.size()) bytes.resize(offset + data.size());
  std::copy(data.begin(), data.end(), bytes.begin() + static_cast<ptrdiff_t>(offset));
}

bool MemoryDisk::Seek(uint64_t offset) {
  ++image_->seeks;
  if (image_->faults.failSeekNumber == image_->seeks) {
    lastError_ = image_->faults.seekError;
    return false;
  }
  position_ = offset;
  return true;
}

bool MemoryDisk::Read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  const DiskFaults& faults = image_->faults;
  image_->reads.push_back(ReadCall{position_, count, 0});
  const int number = static_cast<int>(image_->reads.size());
  bytesRead = 0;
  if (faults.failReadNumber == number || faults.failReadAtOffset == position_) {
    lastError_ = faults.readError;
    return false;
  }
  if (faults.emptyReadsFrom != 0 && number >= faults.emptyReadsFrom) return true;
  const uint64_t size = image_->bytes.size();
  const uint64_t available = position_ < size ? size - position_ : 0;
  const auto length = static_cast<uint32_t>(
      std::min<uint64_t>({count, available, uint64_t{faults.maxBytesPerRead}}));
  if (length > 0) std::memcpy(buffer, image_->bytes.data() + position_, length);
  position_ += length;
  bytesRead = length;
  image_->reads.back().returned = length;
  return true;
}

bool MemoryDisk::QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) {
  if (image_->faults.deviceNumberFails) {
    lastError_ = image_->faults.deviceNumberError;
    return false;
  }
  deviceNumber = image_->faults.deviceNumber;
  partitionNumber = image_->faults.partitionNumber;
  return true;
}

std::unique_ptr<BlockDevice> MemoryOpener::Open(std::u16string_view name, DeviceAccess access,
                                                ErrorCode& error) {
  (void)access;
  opened_.emplace_back(name);
  const auto found = disks_.find(name);
  if (found == disks_.end()) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  return std::make_unique<MemoryDisk>(found->second);
}

}  // namespace skerry::test
