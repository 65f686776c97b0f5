#pragma once
// An in-memory disk for tests: the bytes of a disk image, faults to inject
// (a failing read or seek, short and empty reads, the device-number answer),
// and a log of the reads made, shared by every handle opened on it.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/device.h"

namespace skerry::test {

struct DiskFaults {
  int failReadNumber = 0;                    // the Nth read (from 1) fails; 0: none
  std::optional<uint64_t> failReadAtOffset;  // a read that starts here fails
  ErrorCode readError = kErrorIoDevice;
  uint32_t maxBytesPerRead = UINT32_MAX;  // longer requests come back short
  int emptyReadsFrom = 0;                 // from the Nth read on, no bytes come back
  int failSeekNumber = 0;                 // the Nth seek (from 1) fails
  ErrorCode seekError = kErrorSeek;
  bool deviceNumberFails = false;
  ErrorCode deviceNumberError = kErrorInvalidFunction;
  uint32_t deviceNumber = 0;
  uint32_t partitionNumber = 1;
};

struct ReadCall {
  uint64_t offset = 0;
  uint32_t requested = 0;
  uint32_t returned = 0;
};

struct DiskImage {
  std::vector<uint8_t> bytes;
  DiskFaults faults;
  std::vector<ReadCall> reads;
  int seeks = 0;

  // Copies `data` to `offset`, growing the image as needed.
  void Write(uint64_t offset, std::span<const uint8_t> data);
  void WriteSector(uint64_t lba, std::span<const uint8_t> data) { Write(lba * 512, data); }
};

class MemoryDisk : public BlockDevice {
 public:
  explicit MemoryDisk(std::shared_ptr<DiskImage> image) : image_(std::move(image)) {}

  bool Seek(uint64_t offset) override;
  bool Read(void* buffer, uint32_t count, uint32_t& bytesRead) override;
  bool QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) override;
  ErrorCode LastError() const override { return lastError_; }

 private:
  std::shared_ptr<DiskImage> image_;
  uint64_t position_ = 0;
  ErrorCode lastError_ = kErrorSuccess;
};

// Opens the disks it was given by name; any other name fails with
// kErrorFileNotFound, as an absent device does.
class MemoryOpener : public DeviceOpener {
 public:
  void Add(std::u16string name, std::shared_ptr<DiskImage> image) {
    disks_[std::move(name)] = std::move(image);
  }
  std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess access,
                                    ErrorCode& error) override;

  // Names opened so far, in order.
  const std::vector<std::u16string>& opened() const { return opened_; }

 private:
  std::map<std::u16string, std::shared_ptr<DiskImage>, std::less<>> disks_;
  std::vector<std::u16string> opened_;
};

}  // namespace skerry::test
