#include "platform/byte_buffer.h"

namespace skerry {

void* AllocateBlock(size_t bytes) {
  if (bytes < kHugePageThreshold) return ::operator new(bytes);
  void* block = ::operator new (bytes, std::align_val_t{kHugePageAlignment});
  AdviseHugePages(block, bytes);
  return block;
}

void FreeBlock(void* block, size_t bytes) noexcept {
  if (bytes < kHugePageThreshold) {
    ::operator delete(block);
  } else {
    ::operator delete (block, std::align_val_t{kHugePageAlignment});
  }
}

}  // namespace skerry
