#include "platform/device.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/text.h"

namespace skerry {
namespace {

class HandleDevice final : public BlockDevice {
 public:
  explicit HandleDevice(HANDLE handle) : handle_(handle) {}
  ~HandleDevice() override { CloseHandle(handle_); }
  HandleDevice(const HandleDevice&) = delete;
  HandleDevice& operator=(const HandleDevice&) = delete;

  bool Seek(uint64_t offset) override {
    // The distance is signed: beyond its range lies "before the beginning".
    if (offset > static_cast<uint64_t>(INT64_MAX)) return Fail(ERROR_NEGATIVE_SEEK);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN)) return Fail(GetLastError());
    return true;
  }

  bool Read(void* buffer, uint32_t count, uint32_t& bytesRead) override {
    DWORD got = 0;
    BOOL ok = ReadFile(handle_, buffer, count, &got, nullptr);
    bytesRead = got;
    if (!ok) return Fail(GetLastError());
    return true;
  }

  bool QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) override {
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    if (!DeviceIoControl(handle_, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                         sizeof(number), &returned, nullptr)) {
      return Fail(GetLastError());
    }
    deviceNumber = number.DeviceNumber;
    partitionNumber = number.PartitionNumber;
    return true;
  }

  ErrorCode LastError() const override { return lastError_; }

 private:
  bool Fail(DWORD error) {
    lastError_ = error;
    return false;
  }

  HANDLE handle_;
  ErrorCode lastError_ = ERROR_SUCCESS;
};

class Win32DeviceOpener final : public DeviceOpener {
 public:
  std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess access,
                                    ErrorCode& error) override {
    std::wstring wideName = ToWide(name);
    // IOCTL_STORAGE_GET_DEVICE_NUMBER is FILE_ANY_ACCESS: a handle without
    // data access answers it.
    const DWORD desired = access == DeviceAccess::kRead ? GENERIC_READ : 0;
    HANDLE handle = CreateFileW(wideName.c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<HandleDevice>(handle);
  }
};

}  // namespace

DeviceOpener& SystemDeviceOpener() {
  static Win32DeviceOpener opener;
  return opener;
}

}  // namespace skerry
