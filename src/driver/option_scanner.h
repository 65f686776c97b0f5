#pragma once
// Takes single-letter options apart: "-ab" holds the options a and b; a letter
// followed by ":" in the option string takes an argument, from the rest of its
// argument or from the next one; a letter followed by "=" takes an optional
// one, from the rest of its argument or from the next one only when that
// begins with "=" (-A=hr, -A =hr; in "-A d:" the d: is not the option's).
// The first argument that is not an option ends the scan. The scanner never reorders the arguments and never writes a message.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace skerry {

class OptionScanner {
 public:
  // The arguments and the option string must outlive the scanner; element 0
  // (the program's name) is never examined.
  OptionScanner(std::span<const std::u16string> arguments, std::u16string_view options);

  // True: an option was recognised (optionChar, optionArgument). False: the
  // options have ended, or `error` is set for a character that is not an
  // option or an option whose argument is missing; nextIndex is then where
  // the non-option arguments begin.
  bool Next();

  int32_t argCount;
  std::span<const std::u16string> args;
  std::u16string_view optionString;
  std::optional<std::u16string_view> optionArgument;
  int32_t nextIndex = 1;
  char16_t optionChar = 0;
  // The rest of the argument being taken apart; empty when it is used up.
  std::u16string_view clusterPos;
  bool error = false;
};

}  // namespace skerry
