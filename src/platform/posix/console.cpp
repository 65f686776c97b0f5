#include "platform/console.h"

#include <unistd.h>

#include "platform/posix/fd_stream_buffer.h"
#include "platform/standard_stream_buffer.h"

namespace skerry {

std::unique_ptr<std::wstreambuf> MakeStandardStreamBuffer(StandardStream which, size_t capacity) {
  const int fd = which == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO;
  return std::make_unique<FileDescriptorStreamBuffer>(fd, capacity);
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }
bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace skerry
