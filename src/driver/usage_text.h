#pragma once

#include <ostream>

namespace skerry {

// Writes the usage text, an 8-bit constant widened byte by byte.
void WriteUsage(std::wostream& out);

// --help: the usage text, then the options and drive forms it does not name.
void WriteHelp(std::wostream& out);

// --version: "Skerry" and the version of the build, on one line.
void WriteVersion(std::wostream& out);

}  // namespace skerry
