#pragma once
// Where the clusters of a non-resident attribute go as they are read: a byte
// buffer that keeps them (a bitmap, an attribute list), or the MFT's record
// stream, which parses its records as they arrive and keeps none of them.

#include <cstdint>

#include "platform/byte_buffer.h"
#include "platform/bytes.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

class ClusterSink {
 public:
  virtual ~ClusterSink() = default;
  // Bytes taken so far.
  virtual uint64_t size() const = 0;
  // Takes a resident value's bytes.
  virtual void Append(ByteView bytes) = 0;
  // Reads `byteCount` bytes from `offset` of the device onward. Returns
  // kErrorHandleEof when the device returns no bytes before the count is
  // reached, or the read's code; the bytes read before either are taken.
  virtual ErrorCode ReadFrom(BlockDevice& device, uint64_t offset, uint32_t byteCount) = 0;
};

// Keeps every byte, appended to a buffer the caller owns.
class ByteBufferSink final : public ClusterSink {
 public:
  explicit ByteBufferSink(ByteBuffer& out) : out_(out) {}
  uint64_t size() const override { return out_.size(); }
  void Append(ByteView bytes) override {
    out_.insert(out_.end(), bytes.data(), bytes.data() + bytes.size());
  }
  ErrorCode ReadFrom(BlockDevice& device, uint64_t offset, uint32_t byteCount) override;

 private:
  ByteBuffer& out_;
};

}  // namespace skerry
