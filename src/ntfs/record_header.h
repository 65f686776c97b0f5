#pragma once
// The header of an MFT record (a "FILE" record): where its fields lie.

#include <cstddef>
#include <cstdint>

namespace skerry {

inline constexpr uint32_t kFileSignature = 0x454C4946;  // "FILE"
inline constexpr uint64_t kRecordHeaderSize = 48;

inline constexpr size_t kUpdateSequenceOffset = 4;
inline constexpr size_t kUpdateSequenceCount = 6;
inline constexpr size_t kSequenceNumber = 16;
inline constexpr size_t kFirstAttribute = 20;
inline constexpr size_t kRecordFlags = 22;
inline constexpr size_t kUsedSize = 24;
inline constexpr size_t kBaseRecord = 32;
// NTFS 3.1 headers hold the record's own number before the update sequence
// array, which then starts at 0x30 or later; formatting leaves it 0 in some
// reserved records, so 0 is no number.
inline constexpr size_t kOwnNumber = 0x2C;
inline constexpr uint16_t kHeaderWithOwnNumber = 0x30;
// The header's fields before the first attribute: nothing sound is shorter.
inline constexpr uint32_t kMinFirstAttribute = 24;

inline constexpr uint16_t kRecordInUse = 0x0001;
inline constexpr uint16_t kRecordIsDirectory = 0x0002;

// The update sequence protects the last two bytes of every 512-byte stride,
// whatever the disk's sector size.
inline constexpr uint32_t kFixupStride = 512;

}  // namespace skerry
