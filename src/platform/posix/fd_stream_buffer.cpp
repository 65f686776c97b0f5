#include "platform/posix/fd_stream_buffer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace skerry {

bool FileDescriptorStreamBuffer::WriteBytes(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A descriptor that another process left non-blocking: wait until it drains.
      pollfd waitFor{fd_, POLLOUT, 0};
      if (::poll(&waitFor, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return false;
  }
  return true;
}

}  // namespace skerry
