#include "platform/text.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/line_end.h"

namespace skerry {
namespace {

const std::u16string kName = u"a\x1b[2J\x7f\x9b\x85z\u00e9\u65e5\U0001F600";

std::wstring Written(bool interactive) {
  std::wostringstream out;
  SetInteractive(out, interactive);
  out << Text(kName);
  return out.str();
}

TEST(TextTest, ControlCharactersBecomeQuestionMarksOnlyOnATerminal) {
  const std::wstring emoji =
      sizeof(wchar_t) == 2 ? L"\xD83D\xDE00" : std::wstring(1, wchar_t(0x1F600));
  EXPECT_EQ(Written(true), L"a?[2J???z\u00e9\u65e5" + emoji);
  EXPECT_EQ(Written(false), L"a\x1b[2J\x7f\x9b\x85z\u00e9\u65e5" + emoji);
}

TEST(TextTest, UnpairedSurrogatesBecomeReplacementCharactersInUtf8) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"
                        u"b\xDC00"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16("\xff"
                        "a"),
            u"\xFFFD"
            u"a");
}

}  // namespace
}  // namespace skerry
