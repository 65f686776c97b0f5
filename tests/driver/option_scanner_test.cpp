#include "driver/option_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skerry {
namespace {

constexpr std::u16string_view kOptions = u"!#A=DIQSTVd:f:s:t:z?";

// One recognised option: its letter and its argument ("" for none, "-" never
// occurs as an argument below, so it marks "no argument").
struct Seen {
  char16_t letter;
  std::u16string argument;
  bool operator==(const Seen&) const = default;
};

struct ScanCase {
  std::vector<std::u16string> arguments;  // after the program name
  std::vector<Seen> options;
  int32_t nextIndex;
  bool error;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
  for (const std::u16string& a : c.arguments) *os << std::string(a.begin(), a.end()) << ' ';
}

class OptionScannerCases : public ::testing::TestWithParam<ScanCase> {};

TEST_P(OptionScannerCases, YieldsOptionsThenStops) {
  const ScanCase& c = GetParam();
  std::vector<std::u16string> args{u"skerry"};
  args.insert(args.end(), c.arguments.begin(), c.arguments.end());
  OptionScanner scanner(args, kOptions);
  std::vector<Seen> seen;
  while (scanner.Next()) {
    seen.push_back({scanner.optionChar, std::u16string(scanner.optionArgument.value_or(u"-"))});
    ASSERT_LT(seen.size(), 20u) << "the scanner does not stop";
  }
  EXPECT_EQ(seen, c.options);
  EXPECT_EQ(scanner.nextIndex, c.nextIndex);
  EXPECT_EQ(scanner.error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, OptionScannerCases,
    ::testing::Values(
        ScanCase{{u"-ITS", u"c:"}, {{u'I', u"-"}, {u'T', u"-"}, {u'S', u"-"}}, 2, false},
        ScanCase{{u"-fabc", u"c:"}, {{u'f', u"abc"}}, 2, false},
        ScanCase{{u"-f", u"abc", u"c:"}, {{u'f', u"abc"}}, 3, false},
        ScanCase{{u"-f", u"-S"}, {{u'f', u"-S"}}, 3, false},
        ScanCase{{u"-f"}, {}, 2, true},
        ScanCase{{u"-S", u"-f"}, {{u'S', u"-"}}, 3, true},
        ScanCase{{u"-!f", u"*.txt"}, {{u'!', u"-"}, {u'f', u"*.txt"}}, 3, false},
        ScanCase{{u"--", u"-S"}, {}, 2, false}, ScanCase{{u"--x", u"-S"}, {}, 2, false},
        ScanCase{{u"-", u"-S"}, {}, 1, false}, ScanCase{{u"c:", u"-S"}, {}, 1, false},
        ScanCase{{u"-x", u"c:"}, {}, 2, true}, ScanCase{{u"-xS", u"c:"}, {}, 1, true},
        ScanCase{{u"-S-", u"c:"}, {{u'S', u"-"}}, 1, false}, ScanCase{{u"-:"}, {}, 2, true},
        ScanCase{{u"-?"}, {{u'?', u"-"}}, 2, false}, ScanCase{{u""}, {}, 1, false},
        // An optional argument: attached, or separate when it begins with "=".
        ScanCase{{u"-A", u"d:"}, {{u'A', u"-"}}, 2, false},
        ScanCase{{u"-ITSA", u"c:"},
                 {{u'I', u"-"}, {u'T', u"-"}, {u'S', u"-"}, {u'A', u"-"}},
                 2,
                 false},
        ScanCase{{u"-A", u"-S", u"c:"}, {{u'A', u"-"}, {u'S', u"-"}}, 3, false},
        ScanCase{{u"-A"}, {{u'A', u"-"}}, 2, false},
        ScanCase{{u"-A", u"=hr", u"c:"}, {{u'A', u"=hr"}}, 3, false},
        ScanCase{{u"-A=hr", u"c:"}, {{u'A', u"=hr"}}, 2, false},
        ScanCase{{u"-Ax", u"c:"}, {{u'A', u"x"}}, 2, false},
        ScanCase{{u"-A", u""}, {{u'A', u"-"}}, 2, false},
        ScanCase{{u"-="}, {}, 2, true},
        ScanCase{{}, {}, 1, false}));

TEST(OptionScanner, ArgumentIsNoneForOptionsWithoutOne) {
  std::vector<std::u16string> args{u"skerry", u"-fx", u"-S"};
  OptionScanner scanner(args, kOptions);
  ASSERT_TRUE(scanner.Next());
  EXPECT_EQ(scanner.optionArgument, std::u16string_view(u"x"));
  ASSERT_TRUE(scanner.Next());
  EXPECT_FALSE(scanner.optionArgument.has_value());
}

TEST(OptionScanner, ReportsTheLetterItDidNotKnow) {
  std::vector<std::u16string> args{u"skerry", u"-Sq"};
  OptionScanner scanner(args, kOptions);
  ASSERT_TRUE(scanner.Next());
  EXPECT_FALSE(scanner.Next());
  EXPECT_TRUE(scanner.error);
  EXPECT_EQ(scanner.optionChar, u'q');
}

}  // namespace
}  // namespace skerry
