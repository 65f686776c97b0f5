#include "platform/arguments.h"

#include "platform/text.h"

namespace skerry {

std::vector<std::u16string> ArgumentsFromUtf8(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  if (argc <= 0 || argv == nullptr) return arguments;
  arguments.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.push_back(Utf8ToUtf16(argv[i]));
  return arguments;
}

}  // namespace skerry
