#include "scan/body_file_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "platform/line_end.h"

namespace skerry {
namespace {

constexpr uint64_t kUnixEpoch = 116444736000000000;  // FILETIME of 1970-01-01
constexpr uint64_t kSecond = 10000000;

TEST(BodyFileTimes, UnixSecondsRoundDownAndNoTimeStaysZero) {
  EXPECT_EQ(UnixSecondsOfFileTime(0), 0);
  EXPECT_EQ(UnixSecondsOfFileTime(kUnixEpoch), 0);
  EXPECT_EQ(UnixSecondsOfFileTime(kUnixEpoch + kSecond - 1), 0);
  EXPECT_EQ(UnixSecondsOfFileTime(kUnixEpoch - 1), -1);
  EXPECT_EQ(UnixSecondsOfFileTime(1), -11644473600);
  // Past 2106, where 32 bits of seconds end.
  EXPECT_EQ(UnixSecondsOfFileTime(kUnixEpoch + 5000000000 * kSecond), 5000000000);
  EXPECT_EQ(UnixSecondsOfFileTime(UINT64_MAX), 1844674407370 - 11644473600);
}

// A deleted, read-only, hidden directory whose index lies elsewhere, and a
// name that would move a terminal's cursor.
TEST(BodyFileLines, ModeInodeAndNamesAsTimelineToolsRead) {
  ScanSettings settings;
  settings.drivePrefix = u"E:";
  FileEntry entry;
  entry.path = u"\\a";
  entry.name = u"b\x1b[2J";
  entry.recordNumber = 77;
  entry.fileNameId = 3;
  entry.attributes = kFileNameDirectoryFlag | 0x1 | 0x2;
  entry.deleted = true;
  entry.size = 12;
  entry.accessed = kUnixEpoch + 4 * kSecond;
  entry.modified = kUnixEpoch + 3 * kSecond;
  entry.mftChanged = kUnixEpoch + 2 * kSecond;
  entry.created = kUnixEpoch + kSecond;
  entry.nameAccessed = kUnixEpoch + 40 * kSecond;
  entry.nameModified = kUnixEpoch + 30 * kSecond;
  entry.nameMftChanged = kUnixEpoch + 20 * kSecond;
  entry.nameCreated = kUnixEpoch + 10 * kSecond;

  std::wostringstream out;
  BodyFileLineWriter(settings, u'\\').Write(out, entry);
  EXPECT_EQ(out.str(),
            L"0|E:\\a\\b\x1b[2J (deleted)|77|-/d--x--x--x|0|0|12|4|3|2|1\n"
            L"0|E:\\a\\b\x1b[2J ($FILE_NAME) (deleted)|77-48-3|-/d--x--x--x|0|0|76|40|30|20|10\n");

  entry.deleted = false;
  entry.attributes = 0x1;
  entry.contentType = 0x80;
  entry.contentId = 4;
  std::wostringstream terminal;
  SetInteractive(terminal, true);
  BodyFileLineWriter(settings, u'\\').Write(terminal, entry);
  EXPECT_EQ(terminal.str().substr(0, terminal.str().find(L'\n')),
            L"0|E:\\a\\b?[2J|77-128-4|r/r-wx-wx-wx|0|0|12|4|3|2|1");

  settings.nulTerminated = true;
  std::wostringstream nul;
  SetInteractive(nul, true);
  BodyFileLineWriter(settings, u'\\').Write(nul, entry);
  const std::wstring text = nul.str();
  EXPECT_EQ(text.substr(0, text.find(L'\0')),
            L"0|E:\\a\\b\x1b[2J|77-128-4|r/r-wx-wx-wx|0|0|12|4|3|2|1");
  EXPECT_EQ(std::count(text.begin(), text.end(), L'\0'), 2);
  EXPECT_EQ(text.back(), L'\0');
}

}  // namespace
}  // namespace skerry
