// The user's number format is read once: the listing formats a number per line.

#include "platform/user_number_format.h"

namespace skerry {
namespace {

struct NumberCache {
  bool filled = false;
  NumberFormat format;
};

NumberCache& Numbers() {
  static NumberCache cache;
  return cache;
}

}  // namespace

const NumberFormat& UserNumberFormat() {
  NumberCache& cache = Numbers();
  if (!cache.filled) {
    cache.format = ReadUserNumberFormat();
    cache.filled = true;
  }
  return cache.format;
}

void ForgetUserNumberFormat() { Numbers() = NumberCache{}; }

}  // namespace skerry
