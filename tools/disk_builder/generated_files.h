#pragma once
// Generated contents: the names and sizes of a "many" line, and the bytes of
// files described by size alone.

#include <cstdint>
#include <string>

#include "description.h"

namespace skerry::disk_builder {

struct GeneratedFile {
  std::string name;
  uint64_t size = 0;
};

// The files of a "many" line in order: prefix, a zero-padded index as wide as
// the largest one, the extension; sizes drawn from the seeded range.
class GeneratedFiles {
 public:
  explicit GeneratedFiles(const Action& action);
  bool Next(GeneratedFile& file);

 private:
  uint64_t NextRandom();

  const Action& action_;
  uint64_t index_ = 0;
  uint64_t state_;
  size_t width_ = 1;
};

// Bytes of a file's contents at `offset`: lines of lower-case letters, so that
// every byte is known and compression has something to gain.
void FillPattern(uint64_t offset, uint8_t* out, size_t size);

}  // namespace skerry::disk_builder
