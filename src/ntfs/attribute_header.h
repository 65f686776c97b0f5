#pragma once
// The header of an attribute in an MFT record: its type codes and where its
// fields lie, resident or not.

#include <cstddef>
#include <cstdint>

namespace skerry {

inline constexpr uint32_t kAttributeStandardInformation = 0x10;
inline constexpr uint32_t kAttributeList = 0x20;
inline constexpr uint32_t kAttributeFileName = 0x30;
inline constexpr uint32_t kAttributeVolumeName = 0x60;
inline constexpr uint32_t kAttributeData = 0x80;
inline constexpr uint32_t kAttributeIndexRoot = 0x90;
inline constexpr uint32_t kAttributeBitmap = 0xB0;
inline constexpr uint32_t kAttributeEnd = 0xFFFFFFFF;

inline constexpr size_t kAttrLength = 4;
inline constexpr size_t kAttrNonResident = 8;
inline constexpr size_t kAttrNameLength = 9;
inline constexpr size_t kAttrNameOffset = 10;
inline constexpr size_t kAttrId = 14;
// Resident attributes.
inline constexpr size_t kAttrValueLength = 16;
inline constexpr size_t kAttrValueOffset = 20;
// Non-resident attributes.
inline constexpr size_t kAttrRunListOffset = 32;
inline constexpr size_t kAttrDataSize = 48;

// An attribute header's fields before its value: nothing sound is shorter.
inline constexpr uint32_t kMinAttributeLength = 24;
inline constexpr uint32_t kMinNonResidentLength = 64;

}  // namespace skerry
