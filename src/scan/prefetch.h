#pragma once
// A hint that memory will be read soon. The listing looks up a directory
// for each file in MFT order, which is no order at all for the path cache:
// without the hint each lookup waits for memory two or three times.

#include <cstddef>

namespace skerry {

inline constexpr size_t kCacheLineBytes = 64;

inline void PrefetchLine(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

}  // namespace skerry
