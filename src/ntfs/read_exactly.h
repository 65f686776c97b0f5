#pragma once

#include <cstdint>

#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

// Reads `count` bytes at the device's file pointer, reading again after a
// short read. A read that returns no bytes before the count is reached ends
// with kErrorHandleEof, so a device that has run out cannot make it loop.
ErrorCode ReadExactly(BlockDevice& device, uint8_t* buffer, uint32_t count);

}  // namespace skerry
