#pragma once

#include <string_view>

#include "filters/scan_settings.h"

namespace skerry {

// Compiles a file pattern such as F*, *.log or \*\foo*\*.txt: the part after
// the last separator becomes a name predicate of the record list, the part
// before it a directory predicate of the directory list. A name part that is
// empty, "*" or "*.*" makes no name predicate: it takes every name. `expected` is false
// for an inverted pattern; each predicate is then inverted on its own.
void AddFilePattern(std::u16string_view pattern, ScanSettings& settings, bool expected);

}  // namespace skerry
