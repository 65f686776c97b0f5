#pragma once
// Arithmetic on numbers that come from the disk: a product or sum that does
// not fit is reported instead of wrapping into a plausible but wrong offset.

#include <cstdint>

namespace skerry {

inline bool CheckedMultiply(uint64_t a, uint64_t b, uint64_t& product) {
  return !__builtin_mul_overflow(a, b, &product);
}

inline bool CheckedAdd(uint64_t a, uint64_t b, uint64_t& sum) {
  return !__builtin_add_overflow(a, b, &sum);
}

}  // namespace skerry
