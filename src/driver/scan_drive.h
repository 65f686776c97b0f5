#pragma once

#include <ostream>
#include <string_view>

#include "filters/scan_settings.h"
#include "platform/errors.h"

namespace skerry {

// Scans one drive argument (c:, d:\docs\*.txt, ...) and writes the listing or
// the volume report to `output`. Failures are written as an "Error " line to
// the standard error stream and returned as a Windows error code.
ErrorCode ScanDrive(std::u16string_view argument, ScanSettings& settings, std::wostream& output);

}  // namespace skerry
