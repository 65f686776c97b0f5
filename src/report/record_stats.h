#pragma once
// The counts of one kind of MFT record (in use, or free) for the volume report.

#include <array>
#include <cstdint>
#include <ostream>

#include "filters/file_views.h"

namespace skerry {

struct RecordStats {
  // Indexed by the read-only (1), hidden (2) and system (4) bits of the
  // file-name flags; every other attribute bit is ignored.
  std::array<uint32_t, 8> attributeClassCount{};
  uint32_t fileCount = 0;
  uint32_t directoryCount = 0;
  // Sums over the records counted in fileCount, low 48 bits of each size.
  int64_t realSize = 0;
  int64_t allocatedSize = 0;
  // Indexed by the file-name namespace: POSIX, Win32, DOS, Win32 and DOS.
  std::array<uint32_t, 4> nameTypeCount{};

  // Counts one record by the $FILE_NAME value that the parser presents with
  // it (zeros for a record that has none).
  void Count(const FileNameBlock& fileName);
  // The block as the report prints it: labels of 21 characters, each value
  // right-aligned in 15.
  void Print(std::wostream& output) const;
};

}  // namespace skerry
