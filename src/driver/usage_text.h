#pragma once

#include <ostream>

namespace skerry {

// Writes the usage text, an 8-bit constant widened byte by byte.
void WriteUsage(std::wostream& out);

}  // namespace skerry
