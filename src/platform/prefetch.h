#pragma once
// A hint that memory will be read soon. The listing looks up a directory
// for each file in MFT order, which is no order at all for the path cache:
// without the hint each lookup waits for memory two or three times.

#include <cstddef>
#include <cstdint>

namespace skerry {

inline constexpr size_t kCacheLineBytes = 64;

inline void PrefetchLine(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// Every line that the `size` bytes at `address` touch.
inline void PrefetchRange(const void* address, size_t size) {
  const auto first = reinterpret_cast<uintptr_t>(address);
  const uintptr_t end = first + size;
  for (uintptr_t line = first & ~(uintptr_t{kCacheLineBytes} - 1); line < end;
       line += kCacheLineBytes) {
    PrefetchLine(reinterpret_cast<const void*>(line));
  }
}

// The same for the first `size` bytes, up to a bound: a path spans several
// lines, and copying it waited for each that was not asked for.
inline void PrefetchBytes(const void* address, size_t size) {
  constexpr size_t kMostBytes = 512;
  PrefetchRange(address, size < kMostBytes ? size : kMostBytes);
}

}  // namespace skerry
