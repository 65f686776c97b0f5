#include "platform/read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/guarded_device.h"
#include "support/memory_disk.h"

namespace skerry {
namespace {

constexpr size_t kPiece = 4096;
constexpr uint64_t kStart = 512;

std::shared_ptr<test::DiskImage> PatternedImage(size_t size) {
  auto image = std::make_shared<test::DiskImage>();
  image->bytes.resize(size);
  for (size_t k = 0; k < size; ++k) image->bytes[k] = static_cast<uint8_t>(k * 31 + k / 251);
  return image;
}

// Short reads and a second view reading elsewhere between pieces: every byte
// arrives once, in order, and the other view reads what it asked for.
TEST(ReadAheadTest, PiecesArriveInOrderBesideAnotherViewsReads) {
  auto image = PatternedImage(64 * 1024);
  image->faults.maxBytesPerRead = 3000;
  test::MemoryDisk disk(image);
  SharedDevice shared(disk);
  GuardedDevice fetcher(shared);
  GuardedDevice other(shared);
  // A view reads from where it sought, whatever the other did in between.
  uint8_t byte = 0;
  uint32_t got = 0;
  ASSERT_TRUE(fetcher.Seek(100));
  ASSERT_TRUE(other.Seek(5000));
  ASSERT_TRUE(other.Read(&byte, 1, got));
  ASSERT_TRUE(fetcher.Read(&byte, 1, got));
  EXPECT_EQ(byte, image->bytes[100]);

  ReadAhead ahead(kPiece, 3);
  std::vector<uint8_t> taken;
  uint64_t otherAt = 100;
  const ErrorCode error = ahead.Read(fetcher, kStart, 60000, [&](uint8_t* bytes, size_t count) {
    taken.insert(taken.end(), bytes, bytes + count);
    uint8_t peek[64] = {};
    ASSERT_TRUE(other.Seek(otherAt));
    ASSERT_TRUE(other.Read(peek, sizeof peek, got));
    ASSERT_EQ(got, sizeof peek);
    EXPECT_EQ(0, std::memcmp(peek, image->bytes.data() + otherAt, sizeof peek)) << otherAt;
    otherAt = (otherAt * 7 + 4099) % 60000;
  });
  EXPECT_EQ(error, kErrorSuccess);
  ASSERT_EQ(taken.size(), 60000u);
  EXPECT_TRUE(std::equal(taken.begin(), taken.end(), image->bytes.begin() + kStart));
}

// A failed read ends the read with its code after the pieces before it; an
// exception from the taker stops the fetching and propagates; the ring then
// reads again from the start.
TEST(ReadAheadTest, StopsAtAFailedReadOrAThrowingTaker) {
  auto image = PatternedImage(64 * 1024);
  image->faults.failReadAtOffset = kStart + 5 * kPiece;
  test::MemoryDisk disk(image);
  ReadAhead ahead(kPiece, 3);
  size_t taken = 0;
  const auto count = [&](uint8_t*, size_t bytes) { taken += bytes; };
  EXPECT_EQ(ahead.Read(disk, kStart, 60000, count), kErrorIoDevice);
  EXPECT_EQ(taken, 5 * kPiece);

  image->faults.failReadAtOffset.reset();
  int pieces = 0;
  EXPECT_THROW(ahead.Read(disk, kStart, 60000,
                          [&](uint8_t*, size_t) {
                            if (++pieces == 2) throw std::runtime_error("taker");
                          }),
               std::runtime_error);
  taken = 0;
  EXPECT_EQ(ahead.Read(disk, kStart, 60000, count), kErrorSuccess);
  EXPECT_EQ(taken, 60000u);
}

}  // namespace
}  // namespace skerry
