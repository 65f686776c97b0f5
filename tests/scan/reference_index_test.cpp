#include "scan/reference_index.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace skerry {
namespace {

// Keys past several growths, 0 among them, and keys that differ only in
// their sequence bits (which must stay apart), each found with its value.
TEST(ReferenceIndexTest, KeysStayApartThroughGrowth) {
  ReferenceIndex index;
  EXPECT_EQ(index.Find(0), nullptr);
  constexpr uint64_t kKeys = 5000;
  for (uint64_t key = 0; key < kKeys; ++key) {
    EXPECT_EQ(index.Insert(key, static_cast<uint32_t>(key + 1)), key + 1);
    EXPECT_EQ(index.Insert(key | uint64_t{7} << 48, 0xABCD), 0xABCDu);
  }
  for (uint64_t key = 0; key < kKeys; ++key) {
    ASSERT_NE(index.Find(key), nullptr) << key;
    EXPECT_EQ(*index.Find(key), key + 1);
    // A key already held keeps its value.
    EXPECT_EQ(index.Insert(key, 0), key + 1);
  }
  EXPECT_EQ(index.Find(kKeys), nullptr);
  EXPECT_EQ(index.Find(uint64_t{8} << 48), nullptr);
}

}  // namespace
}  // namespace skerry
