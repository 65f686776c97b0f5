// The run-list decoder. Input: byte 0 chooses the cluster size (512 << (b % 13)),
// the rest is the run list.

#include <cstddef>
#include <cstdint>

#include "fuzz_disk.h"
#include "ntfs/block_exception.h"
#include "ntfs/run_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace skerry;
  if (size < 1) return 0;
  const uint32_t clusterSize = 512u << (data[0] % 13);
  const ByteView runList(data + 1, size - 1);
  RunListReader reader(runList, 0, clusterSize);
  DecodedRun run;
  size_t count = 0;
  try {
    while (reader.Next(run)) {
      // Each run takes at least its header byte.
      fuzz::Require(++count <= runList.size(), "one run per byte at most");
      fuzz::Require(run.byteLength / clusterSize == run.clusterCount, "byte length");
    }
  } catch (const BlockException&) {
  }
  return 0;
}
