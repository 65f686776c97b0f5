#pragma once

#include <cstdint>
#include <string_view>

#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

// Asks the volume device which disk holds the volume (its device number) and
// which partition it is, counted from 0. A partition number of 0 from the
// system gives an index that designates no entry of any partition list.
ErrorCode GetDeviceNumber(DeviceOpener& opener, std::u16string_view volumeName,
                          uint32_t& deviceNumber, uint32_t& partitionIndex);

}  // namespace skerry
