#include "platform/chunked_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace skerry {
namespace {

// Past the small first chunk and two large ones, every element is where it
// was put; the test disks never fill a first chunk.
TEST(ChunkedArrayTest, ElementsStayPutAcrossChunks) {
  ChunkedArray<uint64_t> array;
  constexpr uint64_t kCount = (kFirstChunkBytes + 2 * kChunkBytes) / sizeof(uint64_t) + 3;
  for (uint64_t k = 0; k < kCount; ++k) array.push_back(k * 7);
  ASSERT_EQ(array.size(), kCount);
  const uint64_t* first = &array[0];
  for (uint64_t k = 0; k < kCount; ++k) ASSERT_EQ(array[k], k * 7) << k;
  EXPECT_EQ(&array[0], first);
}

// Texts of every length up to the longest, cut at the longest, each one view
// that never straddles two chunks, found at the position Append gave.
TEST(ChunkedTextTest, TextsStayWholeAcrossChunks) {
  constexpr size_t kLongest = 40000;  // longer than a first chunk of 16-bit units
  ChunkedText<char16_t> texts(kLongest);
  std::vector<std::pair<uint64_t, std::u16string>> kept;
  size_t total = 0;
  for (size_t k = 0; total < 3 * kChunkBytes / sizeof(char16_t); ++k) {
    const size_t length = k % 7 == 0 ? kLongest : (k * 131) % 300;
    std::u16string text(length, static_cast<char16_t>(u'a' + k % 26));
    kept.emplace_back(texts.Append(text), text);
    total += length;
  }
  for (const auto& [position, text] : kept) {
    ASSERT_EQ(texts.View(position, text.size()), text) << position;
  }
  const std::u16string tooLong(kLongest + 10, u'x');
  EXPECT_EQ(texts.View(texts.Append(tooLong), kLongest), tooLong.substr(0, kLongest));
}

}  // namespace
}  // namespace skerry
