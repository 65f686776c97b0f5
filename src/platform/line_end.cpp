#include "platform/line_end.h"

namespace skerry {
namespace {

int InteractiveIndex() {
  static const int index = std::ios_base::xalloc();
  return index;
}

}  // namespace

void SetInteractive(std::ios_base& stream, bool interactive) {
  stream.iword(InteractiveIndex()) = interactive ? 1 : 0;
}

bool IsInteractive(std::ios_base& stream) { return stream.iword(InteractiveIndex()) != 0; }

}  // namespace skerry
