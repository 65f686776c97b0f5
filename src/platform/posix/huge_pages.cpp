#include <sys/mman.h>

#include <cstdint>

#include "platform/byte_buffer.h"

namespace skerry {

void AdviseHugePages(void* address, size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
  // madvise wants a page-aligned start; the block's start is huge-page aligned.
  const auto start = reinterpret_cast<uintptr_t>(address);
  if (start % kHugePageAlignment != 0) return;
  // A refusal (no transparent huge pages in this kernel) changes nothing.
  (void)::madvise(address, bytes, MADV_HUGEPAGE);
#else
  (void)address;
  (void)bytes;
#endif
}

}  // namespace skerry
