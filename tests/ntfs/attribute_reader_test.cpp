#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/attribute_reader.h"
#include "ntfs/mft_record.h"
#include "ntfs/mft_stream.h"
#include "ntfs/recording_consumer.h"
#include "platform/text.h"
#include "support/memory_disk.h"
#include "support/record_builder.h"

namespace skerry {
namespace {

using test::DiskImage;
using test::EncodeRunList;
using test::MemoryDisk;
using test::RecordBuilder;
using test::RecordingConsumer;
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

// The record whose $DATA lists `runs` with the given data size, read as the
// MFT's own record is: into `data`, or with a consumer, as a stream of
// records through a buffer of `bufferSize` bytes.
class AttributeDataTest : public ::testing::Test {
 protected:
  ErrorCode ReadData(const std::vector<uint8_t>& runList, uint64_t dataSize,
                     MftRecordConsumer* consumer = nullptr, uint64_t maxData = kMaxAttributeData,
                     size_t bufferSize = kMftStreamBufferSize) {
    RecordBuilder builder;
    builder.FileName(u"$MFT").NonResidentData(runList, dataSize);
    recordBytes = builder.Build();
    device = std::make_unique<MemoryDisk>(disk);
    AttributeReader reader(device.get(), 0, kCluster);
    parser.SetGeometry(kRecord, kCluster);
    data.clear();
    const ByteView record(recordBytes.data(), recordBytes.size());
    if (consumer == nullptr) {
      return reader.Read(record, builder.AttributeOffset(1), data, maxData, &runs);
    }
    MftStream stream(parser, *consumer, reader, bufferSize);
    return reader.Read(record, builder.AttributeOffset(1), stream, maxData, &runs);
  }
  std::u16string NameAt(size_t position) {
    MFTRecord reader;
    reader.SetGeometry(kRecord, kCluster);
    EXPECT_EQ(reader.Parse(ByteView(data.data() + position * kRecord, kRecord)), kErrorSuccess);
    std::u16string name;
    for (size_t i = 0; i < NameLength(reader.fileName); ++i)
      name.push_back(NameUnit(reader.fileName, i));
    return name;
  }

  std::shared_ptr<DiskImage> disk = std::make_shared<DiskImage>();
  std::unique_ptr<MemoryDisk> device;
  std::vector<uint8_t> recordBytes;
  ByteBuffer data;
  std::vector<RunEntry> runs;
  MFTRecord parser;  // the stream's
};

TEST_F(AttributeDataTest, RunListDecodesSignedOffsetsFromThePreviousRun) {
  std::vector<uint8_t> bytes =
      RecordBuilder()
          .NonResidentData({0x31, 0x40, 0x00, 0x10, 0x00, 0x21, 0x10, 0x00, 0xFF, 0x00}, 10)
          .Build();
  MFTRecord record;
  record.SetGeometry(kRecord, kCluster);
  ASSERT_EQ(record.Parse(ByteView(bytes.data(), bytes.size())), kErrorSuccess);
  ASSERT_EQ(record.runs.size(), 2u);
  EXPECT_EQ(record.runs[0].lcn.value, 4096);
  EXPECT_EQ(record.runs[0].byteLength, 64u * kCluster);
  EXPECT_EQ(record.runs[1].lcn.value, 3840);
  EXPECT_EQ(record.runs[1].byteLength, 16u * kCluster);
}

TEST_F(AttributeDataTest, ResidentValueOverTheCapAppendsNothing) {
  RecordBuilder builder;
  builder.ResidentData(600);
  std::vector<uint8_t> bytes = builder.Build();
  AttributeReader reader(nullptr, 0, kCluster);
  const ByteView record(bytes.data(), bytes.size());
  EXPECT_EQ(reader.Read(record, builder.AttributeOffset(0), data, 512), kErrorNotEnoughMemory);
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(reader.Read(record, builder.AttributeOffset(0), data, 600), kErrorSuccess);
  EXPECT_EQ(data.size(), 600u);
}

TEST_F(AttributeDataTest, StreamReadsBufferSizedRequestsAndNoFurther) {
  disk = DiskWithRecords(10, 110);  // ten clusters more than the run
  RecordingConsumer consumer;
  ASSERT_EQ(ReadData(EncodeRunList({{100, 10}}), 100 * kCluster, &consumer, kMaxAttributeData,
                     16 * kCluster),
            kErrorSuccess);
  std::vector<uint32_t> requests;
  for (const test::ReadCall& call : disk->reads) {
    EXPECT_GE(call.offset, 10u * kCluster);
    EXPECT_LE(call.offset + call.returned, 110u * kCluster);
    requests.push_back(call.requested / kCluster);
  }
  EXPECT_EQ(requests, (std::vector<uint32_t>{16, 16, 16, 16, 16, 16, 4}));
  ASSERT_EQ(consumer.names.size(), 400u);
  EXPECT_TRUE(data.empty());
  // Every record's attributes are counted: 400 records of four attributes.
  EXPECT_EQ(parser.attributeCounts[1], 400);
  EXPECT_EQ(parser.attributeCounts[15], 400);
}

// The 11th record is neither "FILE" nor the zeros of a slot never used: it
// comes with its code, in its place, and the rest are parsed.
TEST_F(AttributeDataTest, StreamHandsEachRecordWithItsNumberAndCode) {
  disk = DiskWithRecords(10, 16);
  std::fill_n(disk->bytes.begin() + 10 * kCluster + 10 * kRecord, kRecord, 0xEE);
  RecordingConsumer consumer;
  ASSERT_EQ(ReadData(EncodeRunList({{16, 10}}), 16 * kCluster, &consumer), kErrorSuccess);
  ASSERT_EQ(consumer.numbers.size(), 64u);
  for (uint64_t i = 0; i < 64; ++i) {
    EXPECT_EQ(consumer.numbers[i], i);
    EXPECT_EQ(consumer.errors[i] != kErrorSuccess, i == 10) << i;
    if (i != 10) {
      EXPECT_EQ(consumer.names[i], FileNumber(i));
    }
  }
}

// Short reads and a buffer that is no whole number of records make records
// straddle the buffer's refills; each is parsed whole, in its place.
TEST_F(AttributeDataTest, ShortReadsNeverShiftTheRecords) {
  disk = DiskWithRecords(10, 20);
  disk->faults.maxBytesPerRead = 1000;
  ASSERT_EQ(ReadData(EncodeRunList({{20, 10}}), 20 * kCluster), kErrorSuccess);
  const ByteBuffer unfiltered = data;
  EXPECT_TRUE(
      std::equal(unfiltered.begin(), unfiltered.end(), disk->bytes.begin() + 10 * kCluster));

  for (const uint32_t perRead : {1000u, 0xFFFFFFFFu}) {
    disk->faults.maxBytesPerRead = perRead;
    RecordingConsumer consumer;
    ASSERT_EQ(ReadData(EncodeRunList({{20, 10}}), 20 * kCluster, &consumer, kMaxAttributeData,
                       1536),
              kErrorSuccess);
    ASSERT_EQ(consumer.names.size(), 80u);
    for (uint64_t i = 0; i < 80; ++i) EXPECT_EQ(consumer.names[i], FileNumber(i)) << perRead;
  }
}

TEST_F(AttributeDataTest, FailureOnTheThirdRunKeepsTheFirstTwo) {
  for (bool streamed : {false, true}) {
    SCOPED_TRACE(streamed ? "streamed" : "buffered");
    disk = DiskWithRecords(10, 30);
    disk->faults.failReadAtOffset = 30 * kCluster;
    disk->faults.readError = kErrorCrc;
    RecordingConsumer consumer;
    const auto runList = EncodeRunList({{2, 10}, {2, 20}, {2, 30}});
    EXPECT_EQ(ReadData(runList, 6 * kCluster, streamed ? &consumer : nullptr), kErrorCrc);
    if (streamed) {
      ASSERT_EQ(consumer.names.size(), 16u);
      EXPECT_EQ(consumer.names[8], u"f40");
    } else {
      ASSERT_EQ(data.size(), 4u * kCluster);
      EXPECT_EQ(NameAt(0), u"f0");
      EXPECT_EQ(NameAt(8), u"f40");
    }
  }
}

TEST_F(AttributeDataTest, ADiskThatStopsGivingBytesEndsTheReadWithEof) {
  for (bool filtered : {false, true}) {
    SCOPED_TRACE(filtered ? "streamed" : "buffered");
    disk = DiskWithRecords(10, 4);  // the run claims 8 clusters
    RecordingConsumer filter;
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
  EXPECT_EQ(data.size(), 10u * kRecord);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].lcn.value, 10);
  EXPECT_EQ(runs[0].byteLength, 3u * kCluster);
  for (const test::ReadCall& call : disk->reads) EXPECT_LT(call.offset, 20u * kCluster);
}

TEST_F(AttributeDataTest, RunsThatCannotBeReadAreRefused) {
  EXPECT_EQ(ReadData(EncodeRunList({{1, -5}}), kCluster), kErrorNegativeSeek);
  EXPECT_EQ(ReadData({0x81, 1, 0, 0, 0, 0, 0, 0, 0, 0x40, 0}, kCluster), kErrorArithmeticOverflow);
}

// A run is read only up to one byte past the cap, so the next run is refused
// and a run that claims far more than the cap costs no more than the cap.
TEST_F(AttributeDataTest, CapIsTestedBeforeEachRun) {
  disk = DiskWithRecords(10, 30);
  EXPECT_EQ(ReadData(EncodeRunList({{2, 10}, {2, 20}}), 4 * kCluster, nullptr, kCluster),
            kErrorNotEnoughMemory);
  EXPECT_EQ(data.size(), kCluster + 1u);
  disk->reads.clear();
  EXPECT_EQ(ReadData(EncodeRunList({{30, 10}}), 30 * kCluster, nullptr, 4096), kErrorSuccess);
  EXPECT_EQ(data.size(), 4097u);
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

}  // namespace
}  // namespace skerry
