#include "scan/path_batches.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace skerry {
namespace {

// The test disks hold fewer files than one batch: the ring's turns and an
// early stop are seen here only.
TEST(PathBatchesTest, BatchesGoRoundTheRingInOrder) {
  constexpr size_t kBatches = 3 * PathBatches::kBatchCount + 1;
  PathBatches batches;
  std::thread resolver([&] {
    for (size_t k = 0; k < kBatches; ++k) {
      PathBatch* batch = batches.NextToFill();
      ASSERT_NE(batch, nullptr);
      EXPECT_TRUE(batch->paths.empty());
      batch->first = k;
      batch->paths.assign(k % 3 + 1, u"\\dir");
      batches.Filled();
    }
    batches.Finish();
  });
  std::vector<size_t> firsts;
  while (PathBatch* batch = batches.NextToWrite()) {
    EXPECT_EQ(batch->paths.size(), batch->first % 3 + 1);
    firsts.push_back(batch->first);
    batches.Written();
  }
  resolver.join();
  ASSERT_EQ(firsts.size(), kBatches);
  for (size_t k = 0; k < kBatches; ++k) EXPECT_EQ(firsts[k], k);
}

TEST(PathBatchesTest, WriterThatStopsEndsTheResolver) {
  PathBatches batches;
  size_t filled = 0;
  std::thread resolver([&] {
    while (PathBatch* batch = batches.NextToFill()) {
      batch->first = filled++;
      batches.Filled();
    }
    batches.Finish();
  });
  ASSERT_NE(batches.NextToWrite(), nullptr);
  batches.Stop();
  resolver.join();
  EXPECT_LE(filled, PathBatches::kBatchCount);
}

}  // namespace
}  // namespace skerry
