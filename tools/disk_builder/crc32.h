#pragma once

#include <cstddef>
#include <cstdint>

#include "ntfs/crc32.h"

namespace skerry::disk_builder {

// The CRC-32 of GPT headers and entry arrays: the product's own, so there is
// one table in the tree. The Sleuth Kit's mmls checks the builder's GPTs
// independently in the end-to-end tests.
inline uint32_t Crc32(const uint8_t* data, size_t size) {
  return skerry::Crc32(ByteView(data, size));
}

}  // namespace skerry::disk_builder
