#pragma once

#include <ostream>

#include "platform/errors.h"

namespace skerry {

// Writes the line that ends a failed drive scan or directory walk: "Error ",
// the system's message text for the code, a line feed, and a flush so that the
// line appears in order among the output lines.
void WriteErrorLine(std::wostream& err, ErrorCode code);

}  // namespace skerry
