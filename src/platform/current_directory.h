#pragma once

#include <string>

namespace skerry {

// GetCurrentDirectoryW. On Linux: a path on the drive whose directory (x: in
// the device directory) holds the working directory, such as d:\docs;
// otherwise the native path. Empty when the working directory cannot be
// determined (it was removed, or its path is unreachable).
std::u16string GetCurrentDirectoryPath();

}  // namespace skerry
