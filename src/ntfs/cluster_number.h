#pragma once

#include <cstdint>

namespace skerry {

// A logical cluster number: a cluster of the volume, counted from the
// partition's start. Kept apart from byte counts and record numbers, which
// the reading functions also take, so that the two cannot be swapped.
struct Lcn {
  int64_t value = 0;
};

}  // namespace skerry
