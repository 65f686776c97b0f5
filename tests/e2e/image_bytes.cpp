#include "image_bytes.h"

#include <gtest/gtest.h>

#include <fstream>

namespace skerry::e2e {

Bytes ReadBytes(const std::string& image, uint64_t offset, size_t count) {
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  Bytes bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  return bytes;
}

void WriteBytes(const std::string& image, uint64_t offset, const Bytes& bytes) {
  std::fstream io(image, std::ios::in | std::ios::out | std::ios::binary);
  io.seekp(static_cast<std::streamoff>(offset));
  io.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(io.good()) << image;
}

uint64_t Le(const Bytes& bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{bytes.at(offset + i)} << (8 * i);
  return value;
}

void StoreLe(Bytes& bytes, size_t offset, size_t width, uint64_t value) {
  for (size_t i = 0; i < width; ++i) bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

size_t AttributeOffset(const Bytes& record, uint32_t type) {
  size_t offset = Le(record, 20, 2);
  while (offset + 8 <= record.size() && Le(record, offset, 4) != type) {
    const uint64_t length = Le(record, offset + 4, 4);
    if (length == 0 || Le(record, offset, 4) == 0xFFFFFFFF) return 0;
    offset += length;
  }
  return offset + 8 <= record.size() ? offset : 0;
}

}  // namespace skerry::e2e
