#pragma once
// Disk images on file, read through the same interface as a device, for
// tests on real images made elsewhere.

#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/device.h"

namespace skerry::test {

class FileDisk : public BlockDevice {
 public:
  explicit FileDisk(const std::string& path) : file_(path, std::ios::binary) {}
  bool good() const { return file_.is_open(); }

  bool Seek(uint64_t offset) override;
  bool Read(void* buffer, uint32_t count, uint32_t& bytesRead) override;
  bool QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) override;
  ErrorCode LastError() const override { return lastError_; }

 private:
  std::ifstream file_;
  ErrorCode lastError_ = kErrorSuccess;
};

// Opens the images it was given by device name.
class FileOpener : public DeviceOpener {
 public:
  void Add(std::u16string name, std::string path) { paths_[std::move(name)] = std::move(path); }
  std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess access,
                                    ErrorCode& error) override;

 private:
  std::map<std::u16string, std::string, std::less<>> paths_;
};

}  // namespace skerry::test
