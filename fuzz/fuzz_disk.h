#pragma once
// Disks made of fuzz input: the bytes of the input at the start of the disk,
// and a claimed size beyond which nothing can be read.

#include <cstdint>
#include <memory>

#include "platform/bytes.h"
#include "platform/device.h"

namespace skerry::fuzz {

class FuzzDisk : public BlockDevice {
 public:
  // With `wrap`, offsets past the input read it again from its start, so that
  // a table pointing anywhere on a large claimed disk still meets fuzzed bytes;
  // without it the disk ends with the input, whatever `size` claims.
  FuzzDisk(ByteView bytes, uint64_t size, bool wrap);

  bool Seek(uint64_t offset) override;
  bool Read(void* buffer, uint32_t count, uint32_t& bytesRead) override;
  bool QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) override;
  ErrorCode LastError() const override { return kErrorSuccess; }

 private:
  ByteView bytes_;
  uint64_t size_;
  uint64_t position_ = 0;
};

// Opens the same fuzzed disk under every name (drive, volume or physical disk).
class FuzzOpener : public DeviceOpener {
 public:
  FuzzOpener(ByteView bytes, uint64_t size, bool wrap) : bytes_(bytes), size_(size), wrap_(wrap) {}
  std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess access,
                                    ErrorCode& error) override;

 private:
  ByteView bytes_;
  uint64_t size_;
  bool wrap_;
};

// Aborts, so that the fuzzer records the input, when a parser's promise is broken.
void Require(bool condition, const char* what);

}  // namespace skerry::fuzz
