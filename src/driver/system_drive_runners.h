#pragma once

#include "driver/run_skerry.h"

namespace skerry {

// The drive scan through the disk and the directory walk through the system.
DriveRunners SystemDriveRunners();

}  // namespace skerry
