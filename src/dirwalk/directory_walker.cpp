#include "dirwalk/directory_walker.h"

#include "platform/console.h"
#include "platform/error_line.h"

namespace skerry {

DirectoryWalker::DirectoryWalker(ScanSettings& walkSettings, std::wostream& walkOutput)
    : settings(walkSettings), output(walkOutput) {}

// Placeholder until the directory enumeration is in place.
void DirectoryWalker::Walk() {
  error = kErrorNotSupported;
  WriteErrorLine(StandardError(), error);
}

}  // namespace skerry
