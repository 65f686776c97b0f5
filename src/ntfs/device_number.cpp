#include "ntfs/device_number.h"

namespace skerry {

ErrorCode GetDeviceNumber(DeviceOpener& opener, std::u16string_view volumeName,
                          uint32_t& deviceNumber, uint32_t& partitionIndex) {
  ErrorCode error = kErrorSuccess;
  std::unique_ptr<BlockDevice> volume = opener.Open(volumeName, DeviceAccess::kQueryOnly, error);
  if (volume == nullptr) return error;
  uint32_t device = 0;
  uint32_t partition = 0;
  if (!volume->QueryDeviceNumber(device, partition)) return volume->LastError();
  deviceNumber = device;
  partitionIndex = partition - 1;
  return kErrorSuccess;
}

}  // namespace skerry
