#include "platform/posix/file_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/posix/errno_mapping.h"

namespace skerry {

FileDevice::FileDevice(int fd, ErrorCode unreadableError)
    : fd_(fd), unreadableError_(unreadableError) {}

FileDevice::~FileDevice() {
  if (fd_ >= 0) ::close(fd_);
}

void FileDevice::SetDeviceNumber(uint32_t deviceNumber, uint32_t partitionNumber) {
  queryError_ = kErrorSuccess;
  deviceNumber_ = deviceNumber;
  partitionNumber_ = partitionNumber;
}

void FileDevice::SetDeviceNumberError(ErrorCode error) { queryError_ = error; }

bool FileDevice::Fail(ErrorCode error) {
  lastError_ = error;
  return false;
}

bool FileDevice::Seek(uint64_t offset) {
  if (fd_ < 0) return Fail(unreadableError_);
  // SetFilePointerEx takes a signed distance: beyond that lies "before the
  // beginning". Past the end is allowed; reading there yields nothing.
  if (offset > static_cast<uint64_t>(INT64_MAX)) return Fail(kErrorNegativeSeek);
  position_ = offset;
  return true;
}

bool FileDevice::Read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  if (fd_ < 0) return Fail(unreadableError_);
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (bytesRead < count) {
    uint64_t at = position_ + bytesRead;
    if (at > static_cast<uint64_t>(INT64_MAX)) break;  // nothing lies beyond off_t
    ssize_t got = ::pread(fd_, bytes + bytesRead, count - bytesRead, static_cast<off_t>(at));
    if (got > 0) {
      bytesRead += static_cast<uint32_t>(got);
      continue;
    }
    if (got == 0) break;  // the end of the disk: a short read, still a success
    if (errno == EINTR) continue;
    // Like ReadFile, a failed read fails as a whole; the file pointer stays
    // where it was, so that the caller can seek again.
    return Fail(ErrorFromErrno(errno));
  }
  position_ += bytesRead;
  return true;
}

void FileDevice::WillRead(uint64_t offset, uint64_t count) {
  if (fd_ < 0 || offset > static_cast<uint64_t>(INT64_MAX) ||
      count > static_cast<uint64_t>(INT64_MAX)) {
    return;
  }
  // Starts the reads in the background; a device that cannot take the hint
  // is read as before.
  (void)::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(count),
                        POSIX_FADV_WILLNEED);
}

bool FileDevice::QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) {
  if (queryError_ != kErrorSuccess) return Fail(queryError_);
  deviceNumber = deviceNumber_;
  partitionNumber = partitionNumber_;
  return true;
}

}  // namespace skerry
