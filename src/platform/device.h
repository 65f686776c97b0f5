#pragma once
// Raw access to disks and volumes by their Windows names (\\.\PhysicalDrive1,
// \\.\D:), with Win32's semantics: a short read is a success with fewer bytes,
// a failed seek is a distinct result, and the last error tells why.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace skerry {

// The small reading interface through which the core reaches a disk. The
// platform supplies devices; tests supply in-memory disks with injected faults.
class BlockDevice {
 public:
  virtual ~BlockDevice() = default;
  // Moves the file pointer to an absolute byte offset. False on failure
  // (SetFilePointer's INVALID_SET_FILE_POINTER); LastError() tells why.
  virtual bool Seek(uint64_t offset) = 0;
  // Reads up to `count` bytes at the file pointer and advances it. True on
  // success, with `bytesRead` possibly short (0 at the end of the device).
  virtual bool Read(void* buffer, uint32_t count, uint32_t& bytesRead) = 0;
  // A hint that the bytes at `offset` will be read soon, so that a cold disk
  // can fetch them while the caller works on what it has. Devices may ignore it.
  virtual void WillRead(uint64_t offset, uint64_t count) {
    (void)offset;
    (void)count;
  }
  // IOCTL_STORAGE_GET_DEVICE_NUMBER on a volume device: the disk's device
  // number and the partition number (counted from 1).
  virtual bool QueryDeviceNumber(uint32_t& deviceNumber, uint32_t& partitionNumber) = 0;
  virtual ErrorCode LastError() const = 0;
};

// Skerry never writes to a disk. A volume is opened only to ask its device
// number, which needs no access to its data: write access would make the
// open fail on read-only media and behind write blockers.
enum class DeviceAccess { kRead, kQueryOnly };

// Opens devices by name. The system's opener is the default; tests install their own.
class DeviceOpener {
 public:
  virtual ~DeviceOpener() = default;
  // CreateFileW(name, GENERIC_READ or 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
  // OPEN_EXISTING).
  // Null on failure, with `error` set.
  virtual std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess access,
                                            ErrorCode& error) = 0;
  // One line that says which path the last Open tried and what it found
  // there, when that Open failed or its device's device-number answer is an
  // error; empty when the backend has nothing to add to the error code.
  virtual std::u16string FailureDetail() const { return {}; }
};

DeviceOpener& SystemDeviceOpener();

}  // namespace skerry
