#include "ntfs/partition_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ntfs/crc32.h"
#include "platform/bytes.h"
#include "support/memory_disk.h"
#include "support/partition_builder.h"

namespace skerry {
namespace {

using test::DiskImage;
using test::GptPartition;
using test::MemoryOpener;
using test::PartitionSector;
using test::TableEntry;

constexpr char16_t kDisk[] = u"\\\\.\\PhysicalDrive1";

class PartitionTableTest : public ::testing::Test {
 protected:
  PartitionTableTest() { opener.Add(kDisk, disk); }

  ErrorCode Read() {
    const ErrorCode error = ReadPartitionTable(opener, kDisk, table);
    list = table.partitions;
    return error;
  }
  std::vector<uint32_t> Starts() const {
    std::vector<uint32_t> starts;
    for (const PartitionEntry& entry : list) starts.push_back(entry.startSector);
    return starts;
  }
  // An extended partition at `base`: one logical partition per entry of
  // `logicals` (type, start relative to its record), the records 100 sectors apart.
  void WriteChain(uint32_t base, const std::vector<TableEntry>& logicals) {
    for (size_t i = 0; i < logicals.size(); ++i) {
      std::vector<TableEntry> entries = {logicals[i]};
      if (i + 1 < logicals.size()) entries.push_back({0x05, uint32_t(100 * (i + 1)), 100});
      disk->WriteSector(base + 100 * i, PartitionSector(entries));
    }
  }

  std::shared_ptr<DiskImage> disk = std::make_shared<DiskImage>();
  MemoryOpener opener;
  PartitionTable table;
  std::vector<PartitionEntry> list;
};

TEST_F(PartitionTableTest, PrimaryEntriesKeepTheirFields) {
  disk->WriteSector(0, PartitionSector({{0x07, 2048, 1000}, {0x0C, 4096, 500}}));
  ASSERT_EQ(Read(), kErrorSuccess);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].startSector, 2048u);
  EXPECT_EQ(list[0].sectorCount, 1000u);
  EXPECT_EQ(list[1].startSector, 4096u);
}

// [FAT, NTFS, extended (NTFS, Linux, NTFS), NTFS] after an empty slot: the
// primaries in slot order, the one after the extended entry among them, then
// every logical partition whatever its type.
TEST_F(PartitionTableTest, PartitionsInWindowsNumbering) {
  disk->WriteSector(0, PartitionSector({{0x0C, 63, 100},
                                        {0x07, 200, 100},
                                        {0x0F, 1000, 5000},
                                        {0x07, 9000, 100}}));
  WriteChain(1000, {{0x07, 63, 10}, {0x83, 63, 10}, {0x07, 63, 10}});
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{63, 200, 9000, 1063, 1163, 1263}));
  EXPECT_EQ(list[4].type, 0x83);
  EXPECT_EQ(table.chainEnd, kErrorSuccess);

  disk->WriteSector(0, PartitionSector({{0x00, 0, 0}, {0x07, 200, 100}, {0x00, 0, 0}, {0x83, 9000, 0}}));
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{200, 9000}));
  EXPECT_EQ(list[1].sectorCount, 0u);  // kept in its place; it holds no volume
}

// A record met again ends the chain there: nothing is listed twice, and the
// break is reported for the drives that lie past it.
TEST_F(PartitionTableTest, ChainThatLoopsEndsAtTheRepeat) {
  disk->WriteSector(0, PartitionSector({{0x07, 63, 10}, {0x05, 1000, 100000}}));
  WriteChain(1000, {{0x07, 63, 10}, {0x07, 63, 10}, {0x07, 63, 10}});
  disk->WriteSector(1100, PartitionSector({{0x07, 63, 10}, {0x05, 0, 10}}));  // back to the first
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{63, 1063, 1163}));
  EXPECT_EQ(table.chainEnd, kErrorDiskCorrupt);
  EXPECT_EQ(table.chainEndSector, 1000u);

  disk->WriteSector(1000, PartitionSector({{0x07, 63, 10}, {0x05, 0, 10}}));  // to itself
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{63, 1063}));
  EXPECT_EQ(table.chainEnd, kErrorDiskCorrupt);

  // An extended partition at sector 0 would read the master boot record
  // again, and its primary as a logical partition; so would a logical entry
  // that points at a primary's start.
  disk->WriteSector(0, PartitionSector({{0x07, 63, 10}, {0x05, 0, 100000}}));
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{63}));
  EXPECT_EQ(table.chainEnd, kErrorDiskCorrupt);
  disk->WriteSector(0, PartitionSector({{0x07, 63, 10}, {0x05, 1000, 100000}}));
  WriteChain(1000, {{0x07, 63, 10}, {0x07, uint32_t(63 - 1100), 10}});
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{63, 1063}));
  EXPECT_EQ(table.chainEnd, kErrorDiskCorrupt);

  disk->WriteSector(0, PartitionSector({{0x07, 63, 10}, {0x05, 1000, 100000}}));
  WriteChain(1000, std::vector<TableEntry>(60, {0x07, 1, 10}));
  ASSERT_EQ(Read(), kErrorSuccess);
  ASSERT_EQ(list.size(), 1u + kMaxExtendedBootRecords);
  EXPECT_EQ(list.back().startSector, 1000u + 49 * 100 + 1);
}

// A chain that cannot be followed keeps what came before it; only the master
// boot record's own failure fails the table.
TEST_F(PartitionTableTest, BrokenChainKeepsThePartitionsBeforeIt) {
  disk->WriteSector(0, PartitionSector({{0x07, 63, 10}, {0x05, 1000, 100}, {0x07, 500, 10}}));
  WriteChain(1000, {{0x07, 63, 10}, {0x07, 63, 10}});
  const std::vector<uint32_t> primaries = {63, 500};

  disk->bytes.resize(1100 * 512 + 300);  // the second record lies past the end
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{63, 500, 1063}));
  EXPECT_EQ(table.chainEnd, kErrorReadFault);
  EXPECT_EQ(table.chainEndSector, 1100u);

  disk->faults.failReadAtOffset = 1000 * 512;
  disk->faults.readError = kErrorCrc;
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), primaries);
  EXPECT_EQ(table.chainEnd, kErrorCrc);

  disk->faults = {};
  disk->faults.failSeekNumber = disk->seeks + 2;  // the seek to the first record
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), primaries);
  EXPECT_EQ(table.chainEnd, kErrorSeek);

  disk->faults = {};
  disk->faults.failReadNumber = static_cast<int>(disk->reads.size()) + 1;  // the master boot record
  EXPECT_EQ(Read(), kErrorIoDevice);

  EXPECT_EQ(ReadPartitionTable(opener, u"\\\\.\\PhysicalDrive7", table), kErrorFileNotFound);
}

TEST_F(PartitionTableTest, ShortMasterBootRecordReadsAsEmpty) {
  disk->bytes.assign(100, 0xFF);
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_TRUE(list.empty());
}

TEST(Crc32, MatchesTheStandardCheckValue) {
  const char text[] = "123456789";
  EXPECT_EQ(Crc32(ByteView(reinterpret_cast<const uint8_t*>(text), 9)), 0xCBF43926u);
}

TEST_F(PartitionTableTest, ProtectiveEntryLeadsToTheGuidTable) {
  test::WriteGpt(
      *disk,
      {{2048, 4095}, {0, 0, false}, {4096, 10000}, {uint64_t{1} << 33, (uint64_t{1} << 33) + 10}});
  ASSERT_EQ(Read(), kErrorSuccess);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_TRUE(table.guid);
  EXPECT_EQ(list[0].startSector, 2048u);
  EXPECT_EQ(list[0].sectorCount, 2048u);
  EXPECT_EQ(list[1].startSector, 4096u);
  EXPECT_FALSE(list[1].startBeyond32Bits);
  // Kept in its place, so that the partitions after it keep their numbers.
  EXPECT_TRUE(list[2].startBeyond32Bits);

  // An array that ends inside a sector is read in whole sectors.
  disk->bytes.clear();
  test::WriteGpt(*disk, {{34, 99}, {100, 199}}, 5);
  disk->bytes.resize(64 * 512);
  ASSERT_EQ(Read(), kErrorSuccess);
  EXPECT_EQ(Starts(), (std::vector<uint32_t>{34, 100}));
  EXPECT_EQ(disk->reads.back().requested, 1024u);
}

// A primary table that fails a check is replaced by the backup at the disk's
// last sector; only when there is no sound backup is the disk refused.
TEST_F(PartitionTableTest, DamagedGuidTableIsReadFromItsBackup) {
  struct Case {
    const char* what;
    uint64_t offset;  // of the byte changed
    uint8_t value;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"header CRC", 512 + test::kGptHeaderCrc, 0x5A, kErrorCrc},
      {"signature", 512, 'X', kErrorDiskCorrupt},
      {"entry array", 1024 + 32, 0x77, kErrorCrc},
      {"array CRC", 512 + test::kGptArrayCrc, 0x5A, kErrorCrc},
  };
  constexpr uint64_t kLastSector = 20000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    disk->bytes.clear();
    test::WriteGpt(*disk, {{2048, 4095}, {4096, 8191}}, 128, kLastSector);
    ASSERT_EQ(disk->bytes.size(), (kLastSector + 1) * 512);
    disk->bytes[c.offset] ^= c.value;
    ASSERT_EQ(Read(), kErrorSuccess);
    EXPECT_EQ(Starts(), (std::vector<uint32_t>{2048, 4096}));

    disk->bytes[kLastSector * 512 + test::kGptHeaderCrc] ^= 0x01;  // the backup too
    EXPECT_EQ(Read(), c.expected);
    EXPECT_TRUE(list.empty());
  }

  // A backup header that names another sector as its own is a stray copy.
  disk->bytes.clear();
  test::WriteGpt(*disk, {{2048, 4095}}, 128, kLastSector);
  disk->bytes[512 + test::kGptHeaderCrc] ^= 0x01;
  const std::vector<uint8_t> backup(disk->bytes.end() - 512, disk->bytes.end());
  disk->WriteSector(kLastSector + 1, backup);
  EXPECT_EQ(Read(), kErrorCrc);
}

TEST_F(PartitionTableTest, GuidHeaderSizesAreBounded) {
  struct Case {
    const char* what;
    size_t field;
    uint32_t value;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"header size too small", 12, 91, kErrorDiskCorrupt},
      {"header size beyond the sector", 12, 513, kErrorDiskCorrupt},
      {"entry size too small", 84, 64, kErrorDiskCorrupt},
      {"array too large", 80, 0x100000, kErrorDiskCorrupt},
      {"array beyond the disk", 72, 0x10000, kErrorHandleEof},
      {"array position overflowing", 76, 0x80000000, kErrorArithmeticOverflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    disk->bytes.clear();
    test::WriteGpt(*disk, {{2048, 4095}});
    uint8_t* header = disk->bytes.data() + 512;
    StoreLe32(header + c.field, c.value);
    StoreLe32(header + test::kGptHeaderCrc, 0);
    const uint32_t size = std::min<uint32_t>(ByteView(header, 512).le32(12), 512);
    StoreLe32(header + test::kGptHeaderCrc, Crc32(ByteView(header, size)));
    EXPECT_EQ(Read(), c.expected);
  }
}

}  // namespace
}  // namespace skerry
