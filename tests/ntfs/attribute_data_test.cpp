#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/mft_record.h"
#include "ntfs/recording_filter.h"
#include "platform/text.h"
#include "support/memory_disk.h"
#include "support/record_builder.h"

namespace skerry {
namespace {

using test::DiskImage;
using test::EncodeRunList;
using test::MemoryDisk;
using test::RecordBuilder;
using test::RecordingFilter;
using test::TestRun;

constexpr uint32_t kCluster = 4096;
constexpr uint32_t kRecord = 1024;
constexpr uint32_t kRecordsPerCluster = kCluster / kRecord;

std::u16string FileNumber(uint64_t n) {
  std::string name = "f";
  name += std::to_string(n);
  return Widen(name);
}

// A disk whose clusters from `firstLcn` on hold consecutive file records
// f<first>, f<first+1>, ...
std::shared_ptr<DiskImage> DiskWithRecords(uint64_t firstLcn, uint64_t clusters,
                                           uint64_t first = 0) {
  auto disk = std::make_shared<DiskImage>();
  for (uint64_t i = 0; i < clusters * kRecordsPerCluster; ++i) {
    disk->Write(firstLcn * kCluster + i * kRecord, test::MakeFileRecord(FileNumber(first + i)));
  }
  return disk;
}

// The record whose $DATA lists `runs` with the given data size, parsed with
// data reading on, as the MFT's own record is.
class AttributeDataTest : public ::testing::Test {
 protected:
  ErrorCode ReadData(const std::vector<uint8_t>& runList, uint64_t dataSize,
                     FsFilter* filter = nullptr, uint64_t maxData = kMaxAttributeData) {
    recordBytes = RecordBuilder().FileName(u"$MFT").NonResidentData(runList, dataSize).Build();
    device = std::make_unique<MemoryDisk>(disk);
    record.handle = device.get();
    record.SetGeometry(0, kRecord, kCluster);
    return record.Parse(recordBytes.data(), recordBytes.size(), true, maxData, filter, nullptr);
  }
  std::u16string NameAt(size_t position) {
    MFTRecord reader;
    reader.SetGeometry(0, kRecord, kCluster);
    EXPECT_EQ(reader.Parse(record.data.data() + position * kRecord, kRecord, false,
                           kMaxAttributeData, nullptr, nullptr),
              kErrorSuccess);
    std::u16string name;
    for (size_t i = 0; i < NameLength(reader.fileName); ++i)
      name.push_back(NameUnit(reader.fileName, i));
    return name;
  }

  std::shared_ptr<DiskImage> disk = std::make_shared<DiskImage>();
  std::unique_ptr<MemoryDisk> device;
  std::vector<uint8_t> recordBytes;
  MFTRecord record;
};

TEST_F(AttributeDataTest, RunListDecodesSignedOffsetsFromThePreviousRun) {
  std::vector<uint8_t> bytes =
      RecordBuilder()
          .NonResidentData({0x31, 0x40, 0x00, 0x10, 0x00, 0x21, 0x10, 0x00, 0xFF, 0x00}, 10)
          .Build();
  record.SetGeometry(0, kRecord, kCluster);
  ASSERT_EQ(record.Parse(bytes.data(), bytes.size(), false, kMaxAttributeData, nullptr, nullptr),
            kErrorSuccess);
  ASSERT_EQ(record.runs.size(), 2u);
  EXPECT_EQ(record.runs[0].lcn, 4096);
  EXPECT_EQ(record.runs[0].byteLength, 64u * kCluster);
  EXPECT_EQ(record.runs[1].lcn, 3840);
  EXPECT_EQ(record.runs[1].byteLength, 16u * kCluster);
}

TEST_F(AttributeDataTest, ResidentValueOverTheCapAppendsNothing) {
  std::vector<uint8_t> bytes = RecordBuilder().ResidentData(600).Build();
  record.SetGeometry(0, kRecord, kCluster);
  EXPECT_EQ(record.Parse(bytes.data(), bytes.size(), true, 512, nullptr, nullptr),
            kErrorNotEnoughMemory);
  EXPECT_TRUE(record.data.empty());
  EXPECT_EQ(record.Parse(bytes.data(), bytes.size(), true, 600, nullptr, nullptr), kErrorSuccess);
  EXPECT_EQ(record.data.size(), 600u);
}

TEST_F(AttributeDataTest, FilteredRunIsReadInPiecesOf16ClustersAndNoFurther) {
  disk = DiskWithRecords(10, 110);  // ten clusters more than the run
  RecordingFilter filter;
  ASSERT_EQ(ReadData(EncodeRunList({{100, 10}}), 100 * kCluster, &filter), kErrorSuccess);
  std::vector<uint32_t> requests;
  for (const test::ReadCall& call : disk->reads) {
    EXPECT_GE(call.offset, 10u * kCluster);
    EXPECT_LE(call.offset + call.returned, 110u * kCluster);
    requests.push_back(call.requested / kCluster);
  }
  EXPECT_EQ(requests, (std::vector<uint32_t>{16, 16, 16, 16, 16, 16, 4}));
  EXPECT_EQ(record.data.size(), 400u * kRecord);
  EXPECT_EQ(filter.names.size(), 400u);
}

TEST_F(AttributeDataTest, RecordsThatFailToParseAreDroppedAndTheRestStillTested) {
  disk = DiskWithRecords(10, 16);
  // The 11th: not "FILE", and not the zeros of a slot never used (a free record).
  std::fill_n(disk->bytes.begin() + 10 * kCluster + 10 * kRecord, kRecord, 0xEE);
  RecordingFilter filter;
  ASSERT_EQ(ReadData(EncodeRunList({{16, 10}}), 16 * kCluster, &filter), kErrorSuccess);
  EXPECT_EQ(filter.names.size(), 63u);
  ASSERT_EQ(record.data.size(), 63u * kRecord);
  EXPECT_EQ(NameAt(9), u"f9");
  EXPECT_EQ(NameAt(10), u"f11");
  EXPECT_EQ(NameAt(62), u"f63");
}

TEST_F(AttributeDataTest, AcceptingFilterKeepsWhatAnUnfilteredReadGivesFixedUp) {
  disk = DiskWithRecords(10, 8);
  std::fill_n(disk->bytes.begin() + 10 * kCluster + 5 * kRecord, kRecord, 0xEE);
  ASSERT_EQ(ReadData(EncodeRunList({{8, 10}}), 8 * kCluster), kErrorSuccess);
  ByteBuffer expected;
  for (size_t i = 0; i < 32; ++i) {
    if (i == 5) continue;
    std::vector<uint8_t> one(record.data.begin() + i * kRecord,
                             record.data.begin() + (i + 1) * kRecord);
    MFTRecord fixer;
    fixer.SetGeometry(0, kRecord, kCluster);
    ASSERT_EQ(fixer.Parse(one.data(), kRecord, false, 0, nullptr, nullptr), kErrorSuccess);
    expected.insert(expected.end(), one.begin(), one.end());
  }
  RecordingFilter filter;
  ASSERT_EQ(ReadData(EncodeRunList({{8, 10}}), 8 * kCluster, &filter), kErrorSuccess);
  EXPECT_EQ(record.data, expected);
}

TEST_F(AttributeDataTest, FilterKeepsTheRecordsItAcceptsInOrder) {
  disk = DiskWithRecords(10, 20);
  RecordingFilter everySecond(
      [](const std::u16string& name) { return (name.back() - u'0') % 2 == 0; });
  ASSERT_EQ(ReadData(EncodeRunList({{20, 10}}), 20 * kCluster, &everySecond), kErrorSuccess);
  ASSERT_EQ(record.data.size(), 40u * kRecord);
  for (size_t i = 0; i < 40; ++i) EXPECT_EQ(NameAt(i), FileNumber(2 * i));
  // The filter's tests add to the record's counters: 80 records of four attributes.
  EXPECT_EQ(record.attributeCounts[1], 80);
  EXPECT_EQ(record.attributeCounts[15], 81);
}

TEST_F(AttributeDataTest, ShortReadsNeverShiftTheRecords) {
  disk = DiskWithRecords(10, 20);
  disk->faults.maxBytesPerRead = 1000;
  ASSERT_EQ(ReadData(EncodeRunList({{20, 10}}), 20 * kCluster), kErrorSuccess);
  const ByteBuffer unfiltered = record.data;
  EXPECT_TRUE(
      std::equal(unfiltered.begin(), unfiltered.end(), disk->bytes.begin() + 10 * kCluster));

  RecordingFilter filter;
  ASSERT_EQ(ReadData(EncodeRunList({{20, 10}}), 20 * kCluster, &filter), kErrorSuccess);
  ASSERT_EQ(record.data.size(), 80u * kRecord);
  EXPECT_EQ(NameAt(79), u"f79");
}

TEST_F(AttributeDataTest, FailureOnTheThirdRunKeepsTheFirstTwo) {
  for (bool filtered : {false, true}) {
    SCOPED_TRACE(filtered ? "filtered" : "unfiltered");
    disk = DiskWithRecords(10, 30);
    disk->faults.failReadAtOffset = 30 * kCluster;
    disk->faults.readError = kErrorCrc;
    RecordingFilter filter;
    const auto runs = EncodeRunList({{2, 10}, {2, 20}, {2, 30}});
    EXPECT_EQ(ReadData(runs, 6 * kCluster, filtered ? &filter : nullptr), kErrorCrc);
    ASSERT_EQ(record.data.size(), 4u * kCluster);
    EXPECT_EQ(NameAt(0), u"f0");
    EXPECT_EQ(NameAt(8), u"f40");
  }
}

TEST_F(AttributeDataTest, ADiskThatStopsGivingBytesEndsTheReadWithEof) {
  for (bool filtered : {false, true}) {
    SCOPED_TRACE(filtered ? "filtered" : "unfiltered");
    disk = DiskWithRecords(10, 4);  // the run claims 8 clusters
    RecordingFilter filter;
    EXPECT_EQ(ReadData(EncodeRunList({{8, 10}}), 8 * kCluster, filtered ? &filter : nullptr),
              kErrorHandleEof);
    disk = DiskWithRecords(10, 8);
    disk->faults.maxBytesPerRead = kCluster;
    disk->faults.emptyReadsFrom = 3;
    EXPECT_EQ(ReadData(EncodeRunList({{8, 10}}), 8 * kCluster, filtered ? &filter : nullptr),
              kErrorHandleEof);
  }
}

TEST_F(AttributeDataTest, ReadStopsAtTheDataSize) {
  disk = DiskWithRecords(10, 40);
  ASSERT_EQ(ReadData(EncodeRunList({{10, 10}, {10, 30}}), 2 * kCluster + 2 * kRecord),
            kErrorSuccess);
  EXPECT_EQ(record.data.size(), 10u * kRecord);
  ASSERT_EQ(record.runs.size(), 1u);
  EXPECT_EQ(record.runs[0].lcn, 10);
  EXPECT_EQ(record.runs[0].byteLength, 3u * kCluster);
  for (const test::ReadCall& call : disk->reads) EXPECT_LT(call.offset, 20u * kCluster);
}

TEST_F(AttributeDataTest, RunsThatCannotBeReadAreRefused) {
  // 2^20 clusters of 4096 bytes: 4 GiB, beyond a 32-bit count.
  EXPECT_EQ(ReadData(EncodeRunList({{1u << 20, 10}}), uint64_t{1} << 32), kErrorFileTooLarge);
  EXPECT_TRUE(disk->reads.empty());
  EXPECT_EQ(ReadData(EncodeRunList({{1, -5}}), kCluster), kErrorNegativeSeek);
  EXPECT_EQ(ReadData({0x81, 1, 0, 0, 0, 0, 0, 0, 0, 0x40, 0}, kCluster), kErrorArithmeticOverflow);
}

// A run is read only up to one byte past the cap, so the next run is refused
// and a run that claims far more than the cap costs no more than the cap.
TEST_F(AttributeDataTest, CapIsTestedBeforeEachRun) {
  disk = DiskWithRecords(10, 30);
  EXPECT_EQ(ReadData(EncodeRunList({{2, 10}, {2, 20}}), 4 * kCluster, nullptr, kCluster),
            kErrorNotEnoughMemory);
  EXPECT_EQ(record.data.size(), kCluster + 1u);
  disk->reads.clear();
  EXPECT_EQ(ReadData(EncodeRunList({{30, 10}}), 30 * kCluster, nullptr, 4096), kErrorSuccess);
  EXPECT_EQ(record.data.size(), 4097u);
  uint64_t returned = 0;
  for (const test::ReadCall& call : disk->reads) returned += call.returned;
  EXPECT_EQ(returned, 4097u);
}

// A run that claims far more than the disk holds must not make the reader
// allocate what the run claims: requests grow only with the bytes returned.
TEST_F(AttributeDataTest, UnfilteredReadGrowsOnlyWithTheBytesReturned) {
  disk = DiskWithRecords(0, 512);  // 2 MiB
  const uint64_t clusters = 0xFFFFF;
  EXPECT_EQ(ReadData(EncodeRunList({{clusters, 0}}), clusters * kCluster), kErrorHandleEof);
  uint64_t returned = 0;
  for (const test::ReadCall& call : disk->reads) {
    EXPECT_LE(call.requested, std::max<uint64_t>(16 << 20, returned));
    returned += call.returned;
  }
  EXPECT_EQ(returned, 512u * kCluster);
}

// A large read is sized once, from the runs within the data size that the
// disk holds: a sound MFT never grows by copying, and neither a data size
// that claims more than the runs nor a run past the disk's end reserves
// more than the disk can give.
TEST_F(AttributeDataTest, LargeReadIsSizedOnceFromTheRunsTheDiskHolds) {
  disk = DiskWithRecords(10, 1100);  // 4.3 MiB of records
  const uint64_t size = 1100 * kCluster - 3 * kRecord;
  ASSERT_EQ(ReadData(EncodeRunList({{600, 10}, {500, 610}}), size), kErrorSuccess);
  EXPECT_EQ(record.data.size(), size);
  EXPECT_EQ(record.data.capacity(), size);

  record.data = ByteBuffer();
  EXPECT_EQ(ReadData(EncodeRunList({{1100, 10}}), uint64_t{1} << 40), kErrorSuccess);
  EXPECT_EQ(record.data.capacity(), 1100u * kCluster);

  record.data = ByteBuffer();
  EXPECT_EQ(ReadData(EncodeRunList({{1100, 10}, {50000, 1u << 30}}), uint64_t{1} << 40),
            kErrorHandleEof);
  EXPECT_EQ(record.data.size(), 1100u * kCluster);
  // The read past the end asked for one step of room, not for the run.
  EXPECT_LT(record.data.capacity(), uint64_t{64} << 20);
}

}  // namespace
}  // namespace skerry
