#pragma once
// Line-by-line output for a person watching, block output for everything
// else. A listing of half a million files written to a file or a pipe costs
// one system call per block, not per line; on a terminal each line shows as
// soon as it is written. The error stream, tied to the output stream, still
// writes out every pending line before its own, whichever way the output goes.

#include <ios>
#include <ostream>

namespace skerry {

// Marks `stream` as read while it is written (the output is a terminal).
// Streams are not interactive unless marked.
void SetInteractive(std::ios_base& stream, bool interactive);
bool IsInteractive(std::ios_base& stream);

// Ends a line already written (its line feed included): flushes an
// interactive stream, leaves the line in the buffer of any other.
inline void EndLine(std::wostream& out) {
  if (IsInteractive(out)) out.flush();
}

}  // namespace skerry
