#include "driver/system_drive_runners.h"

#include "dirwalk/directory_walker.h"
#include "driver/scan_drive.h"

namespace skerry {

DriveRunners SystemDriveRunners() {
  DriveRunners runners;
  runners.scanDrive = [](std::u16string_view argument, ScanSettings& settings,
                         std::wostream& output) { return ScanDrive(argument, settings, output); };
  runners.walk = [](std::u16string_view directory, ScanSettings& settings, std::wostream& output) {
    DirectoryWalker walker(settings, output);
    walker.path.assign(directory);
    walker.Walk();
    return walker.error;
  };
  return runners;
}

}  // namespace skerry
