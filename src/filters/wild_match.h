#pragma once
// Wildcard matching on UTF-16 code units: "*" stands for any run of
// characters (also none), "?" for exactly one; there is no escape. Letters
// A to Z compare without regard to case, every other code unit by value.
//
// The text is read through an accessor that yields the code unit at an index
// and NUL at and past its end, so that a name is matched where it lies in a
// $FILE_NAME block, without a copy.

#include <cstddef>
#include <string_view>

#include "filters/file_views.h"

namespace skerry {

constexpr char16_t FoldAsciiCapital(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// The default C locale's towlower folds only the 26 capital letters; matching
// must give the same answer on every platform, whatever the locale.
constexpr bool CharEqualNoCase(char16_t a, char16_t b) {
  return FoldAsciiCapital(a) == FoldAsciiCapital(b);
}

// A string read as a NUL-terminated text: an embedded NUL ends it.
class StringUnits {
 public:
  constexpr explicit StringUnits(std::u16string_view text) : text_(text) {}
  constexpr char16_t operator[](size_t index) const {
    return index < text_.size() ? text_[index] : u'\0';
  }

 private:
  std::u16string_view text_;
};

// The name of a $FILE_NAME block. It ends at its first NUL and never runs
// past the name length, even if the block lacks the NUL after the name.
class FileNameUnits {
 public:
  explicit FileNameUnits(const FileNameBlock& block) : block_(block), length_(NameLength(block)) {}
  char16_t operator[](size_t index) const {
    return index < length_ ? NameUnit(block_, index) : u'\0';
  }

 private:
  const FileNameBlock& block_;
  size_t length_;
};

// Whether the text from textIndex on matches the pattern from patternIndex on.
//
// A "*" tries each later position whose character equals the pattern
// character after the "*", compared as a plain character even when it is "?"
// or "*" (so "*?" needs a literal "?"), leftmost first. When the text is used
// up, only a single trailing "*" may remain ("a**" does not match "a").
//
// Only the most recent "*" is ever retried: the fixed-length text between two
// stars puts the later star at a position that grows with the earlier star's,
// and a star that failed from one position fails from every later one. So
// the matcher needs no recursion and runs in time proportional to the product
// of the lengths, whatever the pattern, and allocates nothing.
template <typename Units>
bool WildMatch(std::u16string_view pattern, size_t patternIndex, const Units& text,
               size_t textIndex) {
  const StringUnits p(pattern);
  size_t i = patternIndex;
  size_t j = textIndex;
  bool haveStar = false;
  size_t star = 0;       // the most recent "*"
  size_t candidate = 0;  // the text position it is being tried at

  // Places the star's next candidate at or after `from`; false when none is left.
  auto seek = [&](size_t from) {
    const char16_t after = p[star + 1];
    size_t k = from;
    while (text[k] != u'\0' && !CharEqualNoCase(text[k], after)) ++k;
    if (text[k] == u'\0') return false;
    candidate = k;
    i = star + 1;
    j = k;
    return true;
  };
  // The outcome of a star whose candidates are all used up.
  auto starExhausted = [&] { return p[star + 1] == u'*' && p[star + 2] == u'\0'; };

  for (;;) {
    const char16_t pc = p[i];
    if (pc == u'\0') {
      if (text[j] == u'\0') return true;
    } else if (text[j] == u'\0') {
      if (pc == u'*') return p[i + 1] == u'\0';
    } else if (pc == u'*') {
      if (p[i + 1] == u'\0') return true;
      star = i;
      haveStar = true;
      if (!seek(j)) return starExhausted();
      continue;
    } else if (pc == u'?' || CharEqualNoCase(text[j], pc)) {
      ++i;
      ++j;
      continue;
    }
    // A mismatch: retry the most recent star at its next candidate.
    if (!haveStar) return false;
    if (!seek(candidate + 1)) return starExhausted();
  }
}

inline bool WildMatch(std::u16string_view pattern, std::u16string_view text) {
  return WildMatch(pattern, 0, StringUnits(text), 0);
}

}  // namespace skerry
