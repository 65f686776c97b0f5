#include "filters/wild_match.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace skerry {
namespace {

struct WildCase {
  std::u16string_view pattern;
  std::u16string_view text;
  bool matches;
};

class WildMatchCases : public ::testing::TestWithParam<WildCase> {};

TEST_P(WildMatchCases, MatchesAsDocumented) {
  const WildCase& c = GetParam();
  EXPECT_EQ(WildMatch(c.pattern, c.text), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, WildMatchCases,
    ::testing::Values(
        WildCase{u"*.txt", u"a.txt", true}, WildCase{u"*.txt", u"A.TXT", true},
        WildCase{u"*.txt", u"a.txt.txt", true}, WildCase{u"*.txt", u"a.txtx", false},
        WildCase{u"F*", u"foo.bin", true}, WildCase{u"F*", u"F", true},
        WildCase{u"F*", u"afoo", false}, WildCase{u"*a", u"banana", true},
        WildCase{u"?", u"x", true}, WildCase{u"?", u"", false}, WildCase{u"?", u"ab", false},
        WildCase{u"*", u"anything", true}, WildCase{u"*", u"", true},
        WildCase{u"", u"", true}, WildCase{u"", u"a", false},
        WildCase{u"abc*", u"abc", true}, WildCase{u"abc?", u"abc", false},
        // With the text used up only a single "*" may remain.
        WildCase{u"a**", u"abc", true}, WildCase{u"a**", u"a", false},
        // The character after a "*" is compared as a plain character.
        WildCase{u"*?", u"ab", false}, WildCase{u"*?", u"a?", true},
        WildCase{u"\\*\\foo*", u"\\x\\foo", true},
        WildCase{u"\\*\\foo*", u"\\x\\y\\foobar\\z", true},
        WildCase{u"\\*\\foo*", u"\\foo", false},
        // Only A to Z fold; É and é are different code units.
        WildCase{u"\u00C9", u"\u00E9", false}, WildCase{u"[Z]", u"[z]", true},
        WildCase{u"@", u"`", false}));

TEST(WildMatch, TextEndsAtItsFirstNul) {
  const std::u16string text(u"ab\0cd", 5);
  EXPECT_TRUE(WildMatch(u"ab", text));
  EXPECT_FALSE(WildMatch(u"ab?d", text));
}

TEST(WildMatch, NameIsReadFromTheFileNameBlockUpToItsLength) {
  FileNameBlock block{};
  const std::u16string_view name = u"Readme.TXT";
  block[kFnNameLength] = static_cast<uint8_t>(name.size());
  for (size_t i = 0; i < name.size(); ++i) StoreLe16(block.data() + kFnName + 2 * i, name[i]);
  EXPECT_TRUE(WildMatch(u"*.txt", 0, FileNameUnits(block), 0));

  // Stale characters past the length (no NUL after the name) are not part of it.
  StoreLe16(block.data() + kFnName + 2 * name.size(), u'x');
  EXPECT_TRUE(WildMatch(u"*.txt", 0, FileNameUnits(block), 0));
  block[kFnNameLength] = 3;
  EXPECT_TRUE(WildMatch(u"rea", 0, FileNameUnits(block), 0));
  EXPECT_FALSE(WildMatch(u"read*", 0, FileNameUnits(block), 0));
}

TEST(WildMatch, ManyStarsAgainstALongTextFinish) {
  // A naive backtracking matcher needs about 200^12 steps here.
  const std::u16string text(200, u'a');
  EXPECT_FALSE(WildMatch(u"*a*a*a*a*a*a*a*a*a*a*a*a*b", text));
  EXPECT_TRUE(WildMatch(u"*a*a*a*a*a*a*a*a*a*a*a*a*a", text));
  const std::u16string manyStars = u"*" + std::u16string(5000, u'*') + u"b";
  EXPECT_FALSE(WildMatch(manyStars, text));
}

// The plain recursive matcher: one recursive attempt per candidate of a
// "*". The fast matcher must agree with it on every input.
bool ReferenceMatch(std::u16string_view p, size_t i, std::u16string_view t, size_t j) {
  auto P = [&](size_t k) { return k < p.size() ? p[k] : u'\0'; };
  auto T = [&](size_t k) { return k < t.size() ? t[k] : u'\0'; };
  while (P(i) != u'\0') {
    if (T(j) == u'\0') return P(i) == u'*' && P(i + 1) == u'\0';
    if (P(i) == u'*') {
      if (P(i + 1) == u'\0') return true;
      for (;;) {
        while (T(j) != u'\0' && !CharEqualNoCase(T(j), P(i + 1))) ++j;
        if (T(j) == u'\0') break;
        if (ReferenceMatch(p, i + 1, t, j)) return true;
        ++j;
        if (T(j) == u'\0') break;
      }
      return P(i + 1) == u'*' && P(i + 2) == u'\0';
    }
    if (P(i) != u'?' && !CharEqualNoCase(T(j), P(i))) return false;
    ++i;
    ++j;
  }
  return T(j) == u'\0';
}

TEST(WildMatch, AgreesWithTheRecursiveDefinition) {
  std::mt19937 random(20130902);
  const std::u16string_view patternAlphabet = u"ab*?A";
  const std::u16string_view textAlphabet = u"abB*?";
  auto draw = [&](std::u16string_view alphabet, size_t maxLength) {
    std::u16string s(random() % (maxLength + 1), u' ');
    for (char16_t& c : s) c = alphabet[random() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 200000; ++round) {
    const std::u16string pattern = draw(patternAlphabet, 7);
    const std::u16string text = draw(textAlphabet, 8);
    ASSERT_EQ(WildMatch(pattern, text), ReferenceMatch(pattern, 0, text, 0))
        << "pattern " << std::string(pattern.begin(), pattern.end()) << " text "
        << std::string(text.begin(), text.end());
  }
}

}  // namespace
}  // namespace skerry
