#pragma once
// UTF-16 surrogate pairs, for every converter of the system's text.

namespace skerry {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr char32_t kFirstSupplementary = 0x10000;

constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The code point of a high and a low surrogate.
constexpr char32_t JoinSurrogates(char32_t high, char32_t low) {
  return kFirstSupplementary + ((high - 0xD800) << 10) + (low - 0xDC00);
}
// The two halves of a code point at or above U+10000.
constexpr char16_t HighSurrogateOf(char32_t codePoint) {
  return static_cast<char16_t>(0xD800 + ((codePoint - kFirstSupplementary) >> 10));
}
constexpr char16_t LowSurrogateOf(char32_t codePoint) {
  return static_cast<char16_t>(0xDC00 + ((codePoint - kFirstSupplementary) & 0x3FF));
}

}  // namespace skerry
