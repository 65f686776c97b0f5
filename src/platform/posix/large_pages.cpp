#include "platform/large_pages.h"

#include <sys/mman.h>

namespace skerry {

void AdviseLargePages(void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
  // Transparent huge pages, when the system has them "on request" or always;
  // a failure leaves small pages, which work the same.
  (void)::madvise(block, bytes, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace skerry
