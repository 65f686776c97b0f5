// The master boot record, the chain of extended boot records and, behind a
// protective entry, the GUID partition table, read from a fuzzed disk.
//
// Input: byte 0 is not read (it once chose which partition types were kept),
// bytes 1-5 the disk's claimed size in sectors; the rest is the disk from
// sector 0, repeated up to that size so that any table entry meets fuzzed bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_disk.h"
#include "ntfs/gpt.h"
#include "ntfs/partition_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace skerry;
  constexpr size_t kHeader = 6;
  if (size < kHeader) return 0;
  const ByteView input(data, size);
  const uint64_t sectors = input.leN(1, 5);
  fuzz::FuzzOpener opener(ByteView(data + kHeader, size - kHeader), sectors * kDiskSectorSize,
                          true);

  PartitionTable table;
  const ErrorCode error = ReadPartitionTable(opener, u"\\\\.\\PhysicalDrive0", table);
  const std::vector<PartitionEntry>& list = table.partitions;
  // The MBR gives at most 4 entries and each extended record 4 more; a GPT
  // array of at most kMaxGptArrayBytes holds 128-byte entries at the least.
  fuzz::Require(list.size() <= 4 + 4 * kMaxExtendedBootRecords + kMaxGptArrayBytes / 128,
                "partition list bounded");
  (void)error;
  return 0;
}
