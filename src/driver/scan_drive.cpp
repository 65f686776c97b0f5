#include "driver/scan_drive.h"

#include <string>
#include <vector>

#include "ntfs/device_number.h"
#include "ntfs/drive_names.h"
#include "ntfs/partition_table.h"
#include "platform/console.h"
#include "platform/error_line.h"
#include "report/volume_report.h"
#include "scan/list_files.h"

namespace skerry {
namespace {

// The display name lives in this scan's volume name; the settings must not
// keep referring to it once the scan is over.
class DrivePrefixScope {
 public:
  DrivePrefixScope(ScanSettings& settings, std::u16string_view prefix)
      : settings_(settings), previous_(settings.drivePrefix) {
    settings.drivePrefix = prefix;
  }
  ~DrivePrefixScope() { settings_.drivePrefix = previous_; }
  DrivePrefixScope(const DrivePrefixScope&) = delete;
  DrivePrefixScope& operator=(const DrivePrefixScope&) = delete;

 private:
  ScanSettings& settings_;
  std::u16string_view previous_;
};

ErrorCode Fail(std::wostream& errors, ErrorCode code) {
  WriteErrorLine(errors, code);
  return code;
}

}  // namespace

ErrorCode ScanDrive(std::u16string_view argument, ScanSettings& settings, std::wostream& output) {
  return ScanDrive(argument, settings, output, SystemDeviceOpener(), StandardError());
}

ErrorCode ScanDrive(std::u16string_view argument, ScanSettings& settings, std::wostream& output,
                    DeviceOpener& opener, std::wostream& errors) {
  const std::u16string volumeName = VolumeDeviceName(GetDriveLetter(argument));
  const DrivePrefixScope prefix(settings,
                                std::u16string_view(volumeName).substr(volumeName.size() - 2));

  uint32_t deviceNumber = 0;
  uint32_t partitionIndex = 0;
  if (ErrorCode error = GetDeviceNumber(opener, volumeName, deviceNumber, partitionIndex)) {
    return Fail(errors, error);
  }
  const std::u16string physicalName = PhysicalDriveName(deviceNumber);
  std::vector<PartitionEntry> partitions;
  if (ErrorCode error = ReadPartitionTable(opener, physicalName, partitions, kAllPartitionKinds)) {
    return Fail(errors, error);
  }

  NtfsVolume volume(opener);
  // The record parser's one diagnostic line goes with the error lines, out
  // of the listing.
  volume.SetDiagnosticStream(&errors);
  // A volume whose partition is not in the list (not collected, or the
  // system counts partitions differently) is reported as not found rather
  // than read from a partition it is not.
  if (partitionIndex >= partitions.size()) return Fail(errors, kErrorNotFound);
  const ErrorCode result =
      ScanVolume(volume, physicalName, partitions[partitionIndex], settings, output);
  if (result != kErrorSuccess) return Fail(errors, result);
  return kErrorSuccess;
}

ErrorCode ScanVolume(NtfsVolume& volume, std::u16string_view physicalName,
                     const PartitionEntry& entry, ScanSettings& settings, std::wostream& output) {
  if (settings.queryMode) {
    return ReportVolumeInformation(volume, physicalName, entry, settings, output);
  }
  return ListFiles(volume, physicalName, entry, settings, output);
}

}  // namespace skerry
