#pragma once
// Reading and patching the bytes of a disk image, for the tests that damage
// copies of the builder's disks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace skerry::e2e {

using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const std::string& image, uint64_t offset, size_t count);
// Fails the calling test when the image cannot be written.
void WriteBytes(const std::string& image, uint64_t offset, const Bytes& bytes);

uint64_t Le(const Bytes& bytes, size_t offset, size_t width);
void StoreLe(Bytes& bytes, size_t offset, size_t width, uint64_t value);

// Offset in `record` of its first attribute of `type`, 0 when there is none
// (fix-ups not applied: callers touch only bytes before the first protected pair).
size_t AttributeOffset(const Bytes& record, uint32_t type);

}  // namespace skerry::e2e
