#include "image_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace skerry::disk_builder {
namespace {

std::runtime_error SystemError(const std::string& what, const std::string& path) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

bool AllZero(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

}  // namespace

ImageFile::ImageFile(const std::string& path, uint64_t size) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) throw SystemError("cannot create", path);
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw SystemError("cannot size", path);
}

ImageFile::~ImageFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ImageFile::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw SystemError("cannot write", path_);
    data += written;
    size -= static_cast<size_t>(written);
    offset += static_cast<uint64_t>(written);
  }
}

void ImageFile::CopyFrom(const std::string& source, uint64_t offset, uint64_t limit) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) throw SystemError("cannot open", source);
  std::vector<uint8_t> block(1 << 20);
  uint64_t done = 0;
  while (done < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), limit - done));
    const ssize_t got = ::read(in, block.data(), want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(in);
      throw SystemError("cannot read", source);
    }
    if (got == 0) break;
    // Holes in 4 KiB steps: the target was created empty, so zeros need no write.
    for (size_t at = 0; at < static_cast<size_t>(got); at += 4096) {
      const size_t piece = std::min<size_t>(4096, static_cast<size_t>(got) - at);
      if (!AllZero(block.data() + at, piece)) WriteAt(offset + done + at, block.data() + at, piece);
    }
    done += static_cast<uint64_t>(got);
  }
  ::close(in);
}

void ImageFile::Close() {
  if (fd_ >= 0 && ::close(fd_) != 0) {
    fd_ = -1;
    throw SystemError("cannot close", path_);
  }
  fd_ = -1;
}

}  // namespace skerry::disk_builder
