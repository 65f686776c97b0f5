#pragma once

#include <cstdint>

#include "ntfs/cluster_number.h"

namespace skerry {

// One run of a non-resident attribute: its first cluster on the volume and
// its length in bytes (clusters × cluster size).
struct RunEntry {
  Lcn lcn;
  uint64_t byteLength = 0;
};

}  // namespace skerry
