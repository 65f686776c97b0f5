#pragma once
// Decoding of an attribute's run list: header byte (low nibble: size of the
// length field, high nibble: size of the signed cluster offset), the length,
// then the offset from the previous run's first cluster; a header of 0 ends it.

#include <cstdint>

#include "ntfs/cluster_number.h"
#include "platform/bytes.h"

namespace skerry {

// A value from the disk is held in 64 bits: a wider field is damage.
inline constexpr unsigned kMaxRunFieldSize = 8;

struct DecodedRun {
  Lcn lcn;  // first cluster; the previous run's when it has no offset
  uint64_t clusterCount = 0;
  uint64_t byteLength = 0;  // clusterCount × cluster size
  bool hasOffset = false;   // false for a sparse run (no offset field)
  int64_t offset = 0;
};

class RunListReader {
 public:
  // `start` is the run list's offset in `record`.
  RunListReader(ByteView record, uint64_t start, uint32_t clusterSize)
      : record_(record), position_(start), clusterSize_(clusterSize) {}

  // Decodes the next run into `run`; false at the end marker. Raises
  // BlockException when a field lies beyond the record, is wider than 8 bytes,
  // or the run's length in bytes does not fit 64 bits. The reader moves on
  // only after a run was decoded whole.
  bool Next(DecodedRun& run);

 private:
  ByteView record_;
  uint64_t position_;
  uint32_t clusterSize_;
  int64_t lcn_ = 0;
};

}  // namespace skerry
