#pragma once
// The value of a $STANDARD_INFORMATION attribute: where its fields lie.

#include <cstddef>

namespace skerry {

// The fields every version holds; later versions append to them.
inline constexpr size_t kStandardInfoSize = 48;

// FILETIMEs, UTC.
inline constexpr size_t kSiCreated = 0;
inline constexpr size_t kSiModified = 8;
inline constexpr size_t kSiMftChanged = 16;
inline constexpr size_t kSiAccessed = 24;

}  // namespace skerry
