#pragma once

#include <ostream>
#include <string_view>

#include "filters/scan_settings.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/partition_entry.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

// Scans one drive argument (c:, d:\docs\*.txt, ...) and writes the listing or
// the volume report to `output`. Failures are written as an "Error " line to
// the standard error stream and returned as a Windows error code.
ErrorCode ScanDrive(std::u16string_view argument, ScanSettings& settings, std::wostream& output);

// The same, reaching the disks through `opener` and writing the "Error "
// line to `errors`.
ErrorCode ScanDrive(std::u16string_view argument, ScanSettings& settings, std::wostream& output,
                    DeviceOpener& opener, std::wostream& errors);

// Runs the listing, or with the settings' query mode the volume report, over
// the volume of `entry` on the disk `physicalName`. The volume is not yet
// attached; what runs here mounts it with the settings' record filter.
ErrorCode ScanVolume(NtfsVolume& volume, std::u16string_view physicalName,
                     const PartitionEntry& entry, ScanSettings& settings, std::wostream& output);

}  // namespace skerry
