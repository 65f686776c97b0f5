#pragma once
// A disk, disk image or volume opened from the device directory, read with
// Win32's semantics: a file pointer that Seek sets and Read advances, a short
// read at the end that still succeeds, and the last error as a Windows code.

#include <cstdint>

#include "platform/device.h"

namespace skerry {

class FileDevice final : public BlockDevice {
 public:
  // Takes ownership of `fd`. An fd of -1 makes a device that answers the
  // device-number query but fails every read with `unreadableError`.
  explicit FileDevice(int fd, ErrorCode unreadableError = kErrorInvalidHandle);
  ~FileDevice() override;
  FileDevice(const FileDevice&) = delete;
  FileDevice& operator=(const FileDevice&) = delete;

  // What QueryDeviceNumber answers: the numbers, or the error it fails with.
  void SetDeviceNumber(uint32_t deviceNumber, uint32_t partitionNumber);
  void SetDeviceNumberError(ErrorCode error);

  bool Seek(uint64_t offset) override;
  bool Read(void* buffer, uint32_t count, uint32_t& bytesRead) override;
  void WillRead(uint64_t offset, uint64_t count) override;
  bool QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) override;
  ErrorCode LastError() const override { return lastError_; }

 private:
  bool Fail(ErrorCode error);

  int fd_;
  ErrorCode unreadableError_;
  uint64_t position_ = 0;
  ErrorCode lastError_ = kErrorSuccess;
  ErrorCode queryError_ = kErrorNotSupported;
  uint32_t deviceNumber_ = 0;
  uint32_t partitionNumber_ = 0;
};

}  // namespace skerry
