#pragma once
// The program's standard wide streams. Linux: UTF-8 on the file descriptor,
// whatever the C locale. Windows: UTF-16 through the console API on a console,
// UTF-8 when redirected. The error stream is unit-buffered and tied to the
// output stream, so error lines appear in order among the output lines.

#include <ostream>

namespace skerry {

std::wostream& StandardOutput();
std::wostream& StandardError();

// Writes out whatever both streams still hold. The streams also flush when
// the program exits normally (return from main or exit()); main calls this
// before returning so that the order of the last lines does not depend on
// the order in which static objects are destroyed.
void FlushStandardStreams();

// Whether the standard output or error stream is a terminal (console).
bool StandardOutputIsTerminal();
bool StandardErrorIsTerminal();

}  // namespace skerry
