#pragma once
// The UTF-8 wide stream buffer on a POSIX file descriptor. It neither owns nor
// closes the descriptor.

#include <cstddef>
#include <string_view>

#include "platform/utf8_stream_buffer.h"

namespace skerry {

class FileDescriptorStreamBuffer final : public Utf8StreamBuffer {
 public:
  FileDescriptorStreamBuffer(int fd, size_t capacity) : Utf8StreamBuffer(capacity), fd_(fd) {}
  ~FileDescriptorStreamBuffer() override { FinalFlush(); }

 private:
  bool WriteBytes(std::string_view bytes) override;

  int fd_;
};

}  // namespace skerry
