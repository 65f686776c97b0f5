#pragma once
// From a drive argument to the disk and the partition that hold its volume:
// through the device-number query on the volume device (d:), or from the disk,
// image or device that the argument names itself (d:=PATH, d:=PATH@P). Every
// failure comes with a line for the user that says what was tried and what
// was found there.

#include <cstdint>
#include <string>
#include <string_view>

#include "ntfs/partition_entry.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

struct DriveLocation {
  std::u16string diskName;  // what the volume reader opens: a disk, an image or the volume itself
  PartitionEntry entry;
  uint32_t partitionNumber = 0;  // Windows' number; 0 for a volume outside any partition table
};

// Finds the volume of `argument`. `volumeName` is the drive's volume device
// (\\.\D:), asked for its device number unless the argument maps the drive.
// On failure `detail` says why, or is empty when the code says it all.
ErrorCode LocateDrive(DeviceOpener& opener, std::u16string_view argument,
                      std::u16string_view volumeName, DriveLocation& location,
                      std::u16string& detail);

// What lies at `location` instead of an NTFS volume, after the volume reader
// found no NTFS boot sector there: its type byte and its file system.
std::u16string DescribeNotNtfs(DeviceOpener& opener, const DriveLocation& location);

}  // namespace skerry
