#include <gtest/gtest.h>

#include <string>

#include "platform/errors.h"
#include "platform/text.h"

#ifndef _WIN32
#include <cerrno>

#include "platform/posix/errno_mapping.h"
#endif

namespace skerry {
namespace {

#ifndef _WIN32

TEST(ErrorTextTest, GivesWindowsEnglishTextsWithThePlatformLineEnd) {
  struct Case {
    ErrorCode code;
    const char* text;
  };
  const Case cases[] = {
      {kErrorFileNotFound, "The system cannot find the file specified.\n"},
      {kErrorAccessDenied, "Access is denied.\n"},
      {kErrorInvalidDrive, "The system cannot find the drive specified.\n"},
      {kErrorReadFault, "The system cannot read from the specified device.\n"},
      {kErrorInvalidParameter, "The parameter is incorrect.\n"},
      {kErrorBadDevice, "The specified device name is invalid.\n"},
      {kErrorFileCorrupt, "The file or directory is corrupted and unreadable.\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetErrorText(c.code), Widen(c.text)) << c.code;
}

TEST(ErrorTextTest, EveryCodeTheProgramProducesHasItsOwnText) {
  const ErrorCode codes[] = {2,   3,   5,   6,   8,   9,    12,   14,   15,   18,   21,  23,
                             25,  27,  30,  31,  32,  38,   50,   87,   109,  112,  122, 123,
                             131, 161, 206, 267, 534, 1117, 1168, 1200, 1392, 1393, 13};
  for (ErrorCode code : codes) {
    std::u16string text = GetErrorText(code);
    EXPECT_EQ(text.find(u"Unknown error"), std::u16string::npos) << code;
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), u'\n') << code;
    EXPECT_EQ(text.find(u'\r'), std::u16string::npos) << code;
  }
}

TEST(ErrorTextTest, UnknownCodeNamesItsNumber) {
  EXPECT_EQ(GetErrorText(12345), u"Unknown error 12345.\n");
  EXPECT_EQ(GetErrorText(0xFFFFFFFF), u"Unknown error 4294967295.\n");
}

TEST(ErrnoMappingTest, MapsToTheNearestWindowsCode) {
  struct Case {
    int error;
    ErrorCode code;
  };
  const Case cases[] = {
      {0, kErrorSuccess},           {ENOENT, kErrorFileNotFound},     {ENOTDIR, kErrorPathNotFound},
      {EACCES, kErrorAccessDenied}, {EINVAL, kErrorInvalidParameter}, {EIO, kErrorIoDevice},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorFromErrno(c.error), c.code) << c.error;
  // Whatever errno means, the code it maps to has a text.
  for (int error = 1; error < 150; ++error) {
    EXPECT_EQ(GetErrorText(ErrorFromErrno(error)).find(u"Unknown"), std::u16string::npos) << error;
  }
}

#else

TEST(ErrorTextTest, SystemTextsEndWithCarriageReturnAndLineFeed) {
  std::u16string text = GetErrorText(kErrorFileNotFound);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
}

TEST(ErrorTextTest, CodeWithoutSystemTextStillGetsOne) {
  EXPECT_FALSE(GetErrorText(0x2FFFFFFF).empty());
}

#endif

}  // namespace
}  // namespace skerry
