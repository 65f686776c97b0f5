#include "driver/scan_drive.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ntfs/drive_location.h"
#include "ntfs/drive_names.h"
#include "platform/console.h"
#include "platform/error_line.h"
#include "platform/text.h"
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

// The "Error " line, then the lines that say what was tried, if there are any.
ErrorCode Fail(std::wostream& errors, ErrorCode code, std::u16string_view detail = {}) {
  WriteErrorLine(errors, code);
  while (!detail.empty()) {
    const size_t end = std::min(detail.find(u'\n'), detail.size());
    errors << Text(detail.substr(0, end)) << L"\n";
    detail.remove_prefix(std::min(end + 1, detail.size()));
  }
  errors.flush();
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

  DriveLocation location;
  std::u16string detail;
  if (ErrorCode error = LocateDrive(opener, argument, volumeName, location, detail)) {
    return Fail(errors, error, detail);
  }

  NtfsVolume volume(opener);
  // The record parser's one diagnostic line goes with the error lines, out
  // of the listing.
  volume.SetDiagnosticStream(&errors);
  const ErrorCode result =
      ScanVolume(volume, location.diskName, location.entry, settings, output);
  if (result == kErrorInvalidDrive) return Fail(errors, result, DescribeNotNtfs(opener, location));
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
