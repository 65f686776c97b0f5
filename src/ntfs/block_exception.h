#pragma once

#include <exception>

namespace skerry {

// Raised while a record is parsed when one of its structures would reach
// beyond the record's bytes. It never leaves the record layer's callers: they
// turn it into kErrorFileCorrupt (or drop the record, while the MFT loads).
class BlockException : public std::exception {
 public:
  const char* what() const noexcept override { return "Block"; }
};

}  // namespace skerry
