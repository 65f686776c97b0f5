#include "driver/option_scanner.h"

#include <limits>

namespace skerry {
namespace {

bool IsArgumentMarker(char16_t c) { return c == u':' || c == u'='; }

}  // namespace

OptionScanner::OptionScanner(std::span<const std::u16string> arguments, std::u16string_view options)
    : argCount(arguments.size() > size_t{std::numeric_limits<int32_t>::max()}
                   ? std::numeric_limits<int32_t>::max()
                   : static_cast<int32_t>(arguments.size())),
      args(arguments),
      optionString(options) {}

bool OptionScanner::Next() {
  error = false;
  if (clusterPos.empty()) {
    if (nextIndex >= argCount) return false;
    const std::u16string_view argument = args[static_cast<size_t>(nextIndex)];
    if (argument.empty() || argument[0] != u'-') return false;
    // A lone "-" is read as the character "-", which ends the options below
    // with the "-" itself left as the first non-option argument.
    clusterPos = argument.size() == 1 ? argument : argument.substr(1);
    if (argument.size() > 1 && clusterPos[0] == u'-') {
      // "--" (and anything that begins with it) ends the options and is skipped.
      ++nextIndex;
      clusterPos = {};
      return false;
    }
  }

  const char16_t ch = clusterPos[0];
  clusterPos.remove_prefix(1);
  optionChar = ch;

  const size_t at = IsArgumentMarker(ch) ? std::u16string_view::npos : optionString.find(ch);
  if (at != std::u16string_view::npos) {
    const char16_t marker = at + 1 < optionString.size() ? optionString[at + 1] : u'\0';
    if (!IsArgumentMarker(marker)) {
      optionArgument.reset();
      if (clusterPos.empty()) ++nextIndex;
      return true;
    }
    if (!clusterPos.empty()) {
      optionArgument = clusterPos;
      ++nextIndex;
      clusterPos = {};
      return true;
    }
    ++nextIndex;
    if (marker == u'=' &&
        (nextIndex >= argCount || !args[static_cast<size_t>(nextIndex)].starts_with(u'='))) {
      // The optional argument is absent: what follows is read on its own.
      optionArgument.reset();
      return true;
    }
    if (nextIndex >= argCount) {
      error = true;
      return false;
    }
    // The next argument is the option's, whatever it looks like.
    optionArgument = args[static_cast<size_t>(nextIndex)];
    ++nextIndex;
    return true;
  }

  if (ch == u'-') return false;
  if (clusterPos.empty()) ++nextIndex;
  error = true;
  return false;
}

}  // namespace skerry
