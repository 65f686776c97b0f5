#include "platform/large_pages.h"

namespace skerry {

// Windows gives large pages only to accounts that hold the "lock pages in
// memory" privilege, and only as memory committed at once: no advice to give.
void AdviseLargePages(void* block, size_t bytes) {
  (void)block;
  (void)bytes;
}

}  // namespace skerry
