#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <sstream>
#include <string>

#include "platform/console.h"
#include "platform/posix/fd_stream_buffer.h"
#include "platform/scratch_directory.h"
#include "platform/text.h"

namespace skerry {
namespace {

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Utf8OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The encoding must not depend on the C locale; "C" knows no multibyte text.
    std::setlocale(LC_ALL, "C");
    file_ = scratch_ / "out.txt";
    fd_ = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
  }

  testing::ScratchDirectory scratch_;
  std::filesystem::path file_;
  int fd_ = -1;
};

TEST_F(Utf8OutputTest, EncodesEveryScriptAndReplacesInvalidCodePoints) {
  struct Case {
    std::wstring text;
    std::string bytes;
  };
  const Case cases[] = {
      {L"plain", "plain"},
      {L"caf\u00e9", "caf\xC3\xA9"},
      {L"\u65E5\u672C", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {L"\U0001F600", "\xF0\x9F\x98\x80"},
      {std::wstring(1, wchar_t(0xD800)), "\xEF\xBF\xBD"},
      {std::wstring(1, wchar_t(0x110000)), "\xEF\xBF\xBD"},
  };
  std::string expected;
  {
    FileDescriptorStreamBuffer buffer(fd_, 64);
    std::wostream out(&buffer);
    for (const Case& c : cases) {
      out << c.text << L'\n';
      expected += c.bytes + "\n";
    }
    out.flush();
    EXPECT_TRUE(out.good());
  }
  EXPECT_EQ(ReadAll(file_), expected);
}

TEST_F(Utf8OutputTest, UtfSixteenTextWithSurrogatePairsArrivesAsOneCodePoint) {
  FileDescriptorStreamBuffer buffer(fd_, 64);
  std::wostream out(&buffer);
  out << Text{u"a\U0001F600b"} << std::flush;
  EXPECT_EQ(ReadAll(file_),
            "a\xF0\x9F\x98\x80"
            "b");
}

// Long ASCII runs (taken many units at a time) broken by every kind of
// unit, surrogate pairs split between pieces and lone halves, put one piece
// or several at a time: the bytes are the whole text's UTF-8.
TEST_F(Utf8OutputTest, PiecesOfAnyTextArriveAsTheWholeTextsUtf8) {
  std::mt19937 random(7);
  const char16_t others[] = {u'\u00e9', u'\u65E5', 0xD83D, 0xDE00, 0xDC00, 0xD800, 0x7F, 0x80};
  std::u16string whole;
  {
    FileDescriptorStreamBuffer buffer(fd_, 256);
    for (int round = 0; round < 600; ++round) {
      std::u16string pieces[3];
      // A path kept as UTF-8 goes between pieces that begin with the separator.
      const bool utf8Middle = round % 3 == 2;
      if (utf8Middle) pieces[1] = pieces[2] = u"\\";
      for (std::u16string& piece : pieces) {
        const size_t ascii = random() % 40;
        for (size_t i = 0; i < ascii; ++i) piece.push_back(static_cast<char16_t>(u' ' + i % 90));
        if (random() % 2 == 0) piece.push_back(others[random() % std::size(others)]);
        whole += piece;
      }
      if (utf8Middle) {
        ASSERT_TRUE(buffer.PutUtf16AroundUtf8(pieces[0], Utf16ToUtf8(pieces[1]), {pieces[2]}));
      } else if (round % 3 == 0) {
        ASSERT_TRUE(buffer.PutUtf16({pieces[0], pieces[1], pieces[2]}));
      } else {
        for (const std::u16string& piece : pieces) ASSERT_TRUE(buffer.PutUtf16(piece));
      }
    }
  }
  EXPECT_EQ(ReadAll(file_), Utf16ToUtf8(whole));
}

TEST_F(Utf8OutputTest, HoldsTextUntilFlushedAndKeepsOrderAcrossBlocks) {
  FileDescriptorStreamBuffer buffer(fd_, 100);
  std::wostream out(&buffer);
  out << L"held";
  EXPECT_EQ(ReadAll(file_), "");
  out << std::flush;
  EXPECT_EQ(ReadAll(file_), "held");

  // Many blocks, with multibyte characters falling on the block boundaries.
  std::wstring longText;
  std::string longBytes;
  for (int i = 0; i < 5000; ++i) {
    longText += L"x\u00e9\u65E5";
    longBytes += "x\xC3\xA9\xE6\x97\xA5";
  }
  out << longText << std::flush;
  EXPECT_EQ(ReadAll(file_), "held" + longBytes);
}

TEST_F(Utf8OutputTest, DestructionFlushesWhatIsLeft) {
  {
    FileDescriptorStreamBuffer buffer(fd_, 1000);
    std::wostream out(&buffer);
    out << L"last words";
  }
  EXPECT_EQ(ReadAll(file_), "last words");
}

TEST_F(Utf8OutputTest, FailedWriteSetsBadbitDropsTheBlockAndRecoversAfterClear) {
  // A descriptor number that is closed for a while, then valid again.
  int slot = ::dup(fd_);
  ASSERT_GE(slot, 0);
  ::close(slot);
  FileDescriptorStreamBuffer buffer(slot, 64);
  std::wostream out(&buffer);

  out << L"lost" << std::flush;
  EXPECT_TRUE(out.bad());

  ASSERT_EQ(::dup2(fd_, slot), slot);
  out.clear();
  out << L"kept" << std::flush;
  EXPECT_TRUE(out.good());
  ::close(slot);
  EXPECT_EQ(ReadAll(file_), "kept");
}

TEST(StandardStreamsTest, ErrorStreamIsUnitBufferedAndTiedToOutput) {
  EXPECT_EQ(StandardError().tie(), &StandardOutput());
  EXPECT_TRUE(StandardError().flags() & std::ios::unitbuf);
}

}  // namespace
}  // namespace skerry

#endif  // _WIN32
