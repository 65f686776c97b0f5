#pragma once

#include <cstdint>

#include "platform/bytes.h"

namespace skerry {

// The CRC-32 of GUID partition tables (reflected polynomial 0xEDB88320,
// initial value and final XOR 0xFFFFFFFF).
uint32_t Crc32(ByteView bytes);

}  // namespace skerry
