#include "ntfs/run_list.h"

#include "ntfs/block_exception.h"
#include "ntfs/checked_arithmetic.h"

namespace skerry {
namespace {

uint64_t ReadField(ByteView record, uint64_t position, unsigned width) {
  if (width > kMaxRunFieldSize || !record.Contains(position, width)) throw BlockException();
  return record.leN(position, width);
}

int64_t SignExtend(uint64_t value, unsigned width) {
  if (width == 0 || width >= 8) return static_cast<int64_t>(value);
  const uint64_t signBit = uint64_t{1} << (8 * width - 1);
  if (value & signBit) value |= ~((signBit << 1) - 1);
  return static_cast<int64_t>(value);
}

}  // namespace

bool RunListReader::Next(DecodedRun& run) {
  if (!record_.Contains(position_, 1)) throw BlockException();
  const uint8_t header = record_.u8(position_);
  if (header == 0) return false;
  const unsigned lengthSize = header & 0x0F;
  const unsigned offsetSize = header >> 4;
  const uint64_t clusters = ReadField(record_, position_ + 1, lengthSize);
  const int64_t offset =
      SignExtend(ReadField(record_, position_ + 1 + lengthSize, offsetSize), offsetSize);
  uint64_t bytes = 0;
  if (!CheckedMultiply(clusters, clusterSize_, bytes)) throw BlockException();

  // Two's-complement addition without signed overflow: a damaged list may
  // wrap, which the reader of the run then refuses as a bad position.
  lcn_ = static_cast<int64_t>(static_cast<uint64_t>(lcn_) + static_cast<uint64_t>(offset));
  position_ += 1 + lengthSize + offsetSize;
  run.lcn = Lcn{lcn_};
  run.clusterCount = clusters;
  run.byteLength = bytes;
  run.hasOffset = offsetSize != 0;
  run.offset = offset;
  return true;
}

}  // namespace skerry
