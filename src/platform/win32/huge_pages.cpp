#include "platform/byte_buffer.h"

namespace skerry {

// Large pages on Windows need a privilege that a listing should not ask for.
void AdviseHugePages(void*, size_t) noexcept {}

}  // namespace skerry
