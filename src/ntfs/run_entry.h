#pragma once

#include <cstdint>

namespace skerry {

// One run of a non-resident attribute: its first cluster on the volume and
// its length in bytes (clusters × cluster size).
struct RunEntry {
  int64_t lcn = 0;
  uint64_t byteLength = 0;
};

}  // namespace skerry
