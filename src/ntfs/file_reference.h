#pragma once
// A file reference: a record number in the low bits and, in the high 16, the
// sequence number that the record carried when the reference was made.

#include <cstdint>

namespace skerry {

// Path resolution and attribute lists take a reference's record number from
// its low 40 bits.
inline constexpr uint64_t kRecordNumberMask = 0xFFFFFFFFFF;
inline constexpr unsigned kSequenceShift = 48;

inline uint64_t RecordNumberOf(uint64_t reference) { return reference & kRecordNumberMask; }
inline uint16_t SequenceOf(uint64_t reference) {
  return static_cast<uint16_t>(reference >> kSequenceShift);
}

}  // namespace skerry
