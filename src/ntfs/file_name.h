#pragma once
// The value of a $FILE_NAME attribute: where its fields lie.

#include <cstddef>
#include <cstdint>

namespace skerry {

// 66 bytes of fixed fields, 255 UTF-16 characters of name and a NUL.
inline constexpr size_t kFileNameValueSize = 578;

inline constexpr size_t kFnParent = 0;  // file reference
// FILETIMEs, UTC.
inline constexpr size_t kFnCreated = 8;
inline constexpr size_t kFnModified = 16;
inline constexpr size_t kFnMftChanged = 24;
inline constexpr size_t kFnAccessed = 32;
inline constexpr size_t kFnAllocatedSize = 40;
inline constexpr size_t kFnDataSize = 48;
inline constexpr size_t kFnFlags = 56;
inline constexpr size_t kFnNameLength = 64;  // in UTF-16 units
inline constexpr size_t kFnNameType = 65;
inline constexpr size_t kFnName = 66;
// The name length is one byte.
inline constexpr size_t kFnMaxNameLength = 255;

inline constexpr uint8_t kNameTypeDosOnly = 2;
inline constexpr uint32_t kFileNameDirectoryFlag = 0x10000000;

}  // namespace skerry
