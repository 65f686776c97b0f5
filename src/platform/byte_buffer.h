#pragma once
// A byte vector whose growth does not zero-fill: a read fills the bytes at
// once, so clearing them first would only touch every page twice. Large
// blocks (the MFT) are aligned to, and marked for, huge pages where the
// system offers them, so that faulting them in costs a few hundred faults
// rather than one per 4 KiB page.

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace skerry {

// Blocks of at least this size are placed on a huge-page boundary.
inline constexpr size_t kHugePageThreshold = 4 * 1024 * 1024;
inline constexpr size_t kHugePageAlignment = 2 * 1024 * 1024;

void* AllocateBlock(size_t bytes);
void FreeBlock(void* block, size_t bytes) noexcept;

// Asks the system to back [address, address + bytes) with huge pages; a hint
// that may be ignored (and is, on Windows).
void AdviseHugePages(void* address, size_t bytes) noexcept;

template <typename T>
struct DefaultInitAllocator {
  using value_type = T;

  DefaultInitAllocator() = default;
  template <typename U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

  T* allocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateBlock(count * sizeof(T)));
  }
  void deallocate(T* block, size_t count) noexcept { FreeBlock(block, count * sizeof(T)); }

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
