#pragma once
// One device read from two threads: the MFT fetched ahead on one, a record's
// own reads (a long attribute list) on the other. Each thread reads through
// its own view, with its own file pointer; a view's read puts the device's
// pointer back where the view left it when the other view has moved it, all
// under one lock. A view reads only after it has sought.

#include <cstdint>
#include <mutex>

#include "platform/device.h"

namespace skerry {

class SharedDevice {
 public:
  explicit SharedDevice(BlockDevice& device) : device_(device) {}
  SharedDevice(const SharedDevice&) = delete;
  SharedDevice& operator=(const SharedDevice&) = delete;

  BlockDevice& device() const { return device_; }

 private:
  friend class GuardedDevice;
  BlockDevice& device_;
  std::mutex lock_;
  // The view that last moved the device's pointer.
  const void* owner_ = nullptr;
};

class GuardedDevice final : public BlockDevice {
 public:
  explicit GuardedDevice(SharedDevice& shared) : shared_(shared) {}
  GuardedDevice(const GuardedDevice&) = delete;
  GuardedDevice& operator=(const GuardedDevice&) = delete;

  bool Seek(uint64_t offset) override {
    std::lock_guard lock(shared_.lock_);
    position_ = offset;
    shared_.owner_ = this;
    return Succeeded(shared_.device_.Seek(offset));
  }

  bool Read(void* buffer, uint32_t count, uint32_t& bytesRead) override {
    std::lock_guard lock(shared_.lock_);
    bytesRead = 0;
    if (shared_.owner_ != this) {
      shared_.owner_ = this;
      if (!Succeeded(shared_.device_.Seek(position_))) return false;
    }
    // A failed read moves no pointer, as with ReadFile.
    if (!Succeeded(shared_.device_.Read(buffer, count, bytesRead))) return false;
    position_ += bytesRead;
    return true;
  }

  void WillRead(uint64_t offset, uint64_t count) override {
    std::lock_guard lock(shared_.lock_);
    shared_.device_.WillRead(offset, count);
  }

  bool QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) override {
    std::lock_guard lock(shared_.lock_);
    return Succeeded(shared_.device_.QueryDeviceNumber(deviceNumber, partitionNumber));
  }

  ErrorCode LastError() const override { return error_; }

 private:
  // Keeps the device's error for this view (called under the lock).
  bool Succeeded(bool ok) {
    if (!ok) error_ = shared_.device_.LastError();
    return ok;
  }

  SharedDevice& shared_;
  uint64_t position_ = 0;
  ErrorCode error_ = kErrorSuccess;
};

}  // namespace skerry
