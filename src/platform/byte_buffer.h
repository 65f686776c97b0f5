#pragma once
// A byte vector whose growth does not zero-fill: a read fills the bytes at
// once, so clearing them first would only touch every page twice.

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace skerry {

template <typename T>
struct DefaultInitAllocator {
  using value_type = T;

  DefaultInitAllocator() = default;
  template <typename U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

  T* allocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(::operator new(count * sizeof(T)));
  }
  void deallocate(T* block, size_t) noexcept { ::operator delete(block); }

  // Value-less construction leaves the bytes as they are.
  template <typename U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const DefaultInitAllocator<U>&) const noexcept {
    return true;
  }
};

using ByteBuffer = std::vector<uint8_t, DefaultInitAllocator<uint8_t>>;

}  // namespace skerry
