#include "platform/arguments.h"

#include <gtest/gtest.h>

namespace skerry {
namespace {

#ifndef _WIN32

TEST(ArgumentsTest, DecodesUtf8AndReplacesInvalidBytes) {
  char program[] = "skerry";
  char accented[] = "caf\xC3\xA9";
  char invalid[] =
      "a\xFF"
      "b";
  char truncated[] = "\xE6\x97";
  char* argv[] = {program, accented, invalid, truncated, nullptr};
  auto arguments = ArgumentsFromUtf8(4, argv);
  ASSERT_EQ(arguments.size(), 4u);
  EXPECT_EQ(arguments[0], u"skerry");
  EXPECT_EQ(arguments[1], u"caf\u00e9");
  EXPECT_EQ(arguments[2], u"a\uFFFDb");
  EXPECT_EQ(arguments[3], u"\uFFFD\uFFFD");
}

TEST(ArgumentsTest, EmptyCommandLine) { EXPECT_TRUE(ArgumentsFromUtf8(0, nullptr).empty()); }

#endif

}  // namespace
}  // namespace skerry
