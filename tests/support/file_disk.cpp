#include "support/file_disk.h"

namespace skerry::test {

bool FileDisk::Seek(uint64_t offset) {
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(offset));
  if (!file_) {
    lastError_ = kErrorSeek;
    return false;
  }
  return true;
}

bool FileDisk::Read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  file_.read(static_cast<char*>(buffer), count);
  bytesRead = static_cast<uint32_t>(file_.gcount());
  if (file_.bad()) {
    lastError_ = kErrorReadFault;
    return false;
  }
  file_.clear();  // the end of the image is a short read, not a failure
  return true;
}

bool FileDisk::QueryDeviceNumber(uint32_t&, uint32_t&) {
  lastError_ = kErrorInvalidFunction;
  return false;
}

std::unique_ptr<BlockDevice> FileOpener::Open(std::u16string_view name, DeviceAccess,
                                              ErrorCode& error) {
  const auto found = paths_.find(name);
  if (found == paths_.end()) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  auto disk = std::make_unique<FileDisk>(found->second);
  if (!disk->good()) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  return disk;
}

}  // namespace skerry::test
