#pragma once

#include <cstddef>
#include <cstdint>

namespace skerry::disk_builder {

// The CRC-32 of GPT headers and entry arrays (IEEE 802.3, reflected, 0xEDB88320).
uint32_t Crc32(const uint8_t* data, size_t size);

}  // namespace skerry::disk_builder
