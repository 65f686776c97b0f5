#pragma once
// Bounds-checked little-endian reads of on-disk bytes. Every offset and length
// that comes from a disk is distrusted: a read outside the view throws
// ByteRangeError instead of touching memory it does not own.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

namespace skerry {

class ByteRangeError : public std::out_of_range {
 public:
  ByteRangeError() : std::out_of_range("byte range outside the view") {}
};

class ByteView {
 public:
  constexpr ByteView() = default;
  constexpr ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  constexpr explicit ByteView(std::span<const uint8_t> bytes)
      : data_(bytes.data()), size_(bytes.size()) {}

  constexpr const uint8_t* data() const { return data_; }
  constexpr size_t size() const { return size_; }

  // True when [offset, offset + length) lies inside the view; never overflows.
  constexpr bool Contains(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  uint8_t u8(uint64_t offset) const { return Load<uint8_t>(offset); }
  uint16_t le16(uint64_t offset) const { return Load<uint16_t>(offset); }
  uint32_t le32(uint64_t offset) const { return Load<uint32_t>(offset); }
  uint64_t le64(uint64_t offset) const { return Load<uint64_t>(offset); }

  // Unsigned little-endian number of 0 to 8 bytes.
  uint64_t leN(uint64_t offset, unsigned width) const {
    if (width > 8 || !Contains(offset, width)) throw ByteRangeError();
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= uint64_t{data_[offset + i]} << (8 * i);
    return value;
  }

  ByteView Sub(uint64_t offset, uint64_t length) const {
    if (!Contains(offset, length)) throw ByteRangeError();
    return ByteView(data_ + offset, static_cast<size_t>(length));
  }

 private:
  template <typename T>
  T Load(uint64_t offset) const {
    if (!Contains(offset, sizeof(T))) throw ByteRangeError();
    T value = 0;
    // One load where the processor is little-endian: the compiler did not
    // always merge the bytes' loads, and the parse reads dozens of fields a
    // record.
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&value, data_ + offset, sizeof(T));
    } else {
      for (size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(T{data_[offset + i]} << (8 * i));
      }
    }
    return value;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Writes little-endian values into a buffer the caller owns; for building records.
inline void StoreLe16(uint8_t* at, uint16_t v) { at[0] = uint8_t(v); at[1] = uint8_t(v >> 8); }
inline void StoreLe32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(v >> (8 * i));
}
inline void StoreLe64(uint8_t* at, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &v, sizeof v);
  } else {
    for (int i = 0; i < 8; ++i) at[i] = uint8_t(v >> (8 * i));
  }
}

}  // namespace skerry
