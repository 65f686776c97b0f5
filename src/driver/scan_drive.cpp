#include "driver/scan_drive.h"

#include "platform/console.h"
#include "platform/error_line.h"

namespace skerry {

// Placeholder until drive resolution and the volume reader are in place.
ErrorCode ScanDrive(std::u16string_view argument, ScanSettings& settings, std::wostream& output) {
  (void)argument;
  (void)settings;
  (void)output;
  WriteErrorLine(StandardError(), kErrorNotSupported);
  return kErrorNotSupported;
}

}  // namespace skerry
