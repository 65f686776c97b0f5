#pragma once
// A file reference, as records name their parent and their base record: the
// record number in the low 48 bits and, in the high 16, the sequence number
// that the record carried when the reference was made.

#include <cstdint>

namespace skerry {

struct FileReference {
  static constexpr uint64_t kRecordNumberBits = 0xFFFFFFFFFFFF;
  static constexpr unsigned kSequenceShift = 48;

  uint64_t value = 0;

  constexpr uint64_t RecordNumber() const { return value & kRecordNumberBits; }
  // 0 names no particular use of the record: it is not compared.
  constexpr uint16_t Sequence() const { return static_cast<uint16_t>(value >> kSequenceShift); }
};

}  // namespace skerry
