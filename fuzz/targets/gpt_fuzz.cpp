// The GUID partition table: header in sector 1, entry array where it says.
//
// Input: bytes 0-4 the disk's claimed size in sectors, then the disk from
// sector 0, repeated up to that size.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_disk.h"
#include "ntfs/gpt.h"
#include "ntfs/partition_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace skerry;
  constexpr size_t kHeader = 5;
  if (size < kHeader) return 0;
  const uint64_t sectors = ByteView(data, size).leN(0, 5);
  fuzz::FuzzDisk disk(ByteView(data + kHeader, size - kHeader), sectors * kDiskSectorSize, true);
  std::vector<PartitionEntry> list;
  const ErrorCode error = ReadGuidPartitionTable(disk, list);
  fuzz::Require(list.size() <= kMaxGptArrayBytes / 128, "entries bounded by the array");
  (void)error;
  return 0;
}
