#include "ntfs/mft_record.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/bytes.h"
#include "support/record_builder.h"

namespace skerry {
namespace {

using test::EncodeRunList;
using test::RecordBuilder;

std::u16string NameOf(const FileNameBlock& fileName) {
  std::u16string name;
  for (size_t i = 0; i < NameLength(fileName); ++i) name.push_back(NameUnit(fileName, i));
  return name;
}

class MftRecordTest : public ::testing::Test {
 protected:
  MftRecordTest() {
    record.SetGeometry(0, 1024, 4096);
    record.SetDiagnosticStream(&diagnostics);
  }
  ErrorCode Parse(std::vector<uint8_t>& bytes, StreamFilter* observer = nullptr) {
    return record.Parse(bytes.data(), bytes.size(), false, kMaxAttributeData, nullptr, observer);
  }

  MFTRecord record;
  std::wostringstream diagnostics;
};

TEST_F(MftRecordTest, FixupsRestoreTheLastBytesOfEachStride) {
  // A resident value long enough to cover both stride ends.
  const std::vector<uint8_t> disk =
      RecordBuilder().UpdateSequence(48, 3).SequenceNumber(0x4242).ResidentData(900).Build();
  ASSERT_EQ(disk[510], 0x42);
  std::vector<uint8_t> bytes = disk;
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_EQ(bytes[510], disk[50]);
  EXPECT_EQ(bytes[511], disk[51]);
  EXPECT_EQ(bytes[1022], disk[52]);
  EXPECT_EQ(bytes[1023], disk[53]);
  EXPECT_NE(bytes[510], 0x42);

  // Applying them again writes the same bytes.
  std::vector<uint8_t> again = bytes;
  ASSERT_EQ(Parse(again), kErrorSuccess);
  EXPECT_EQ(again, bytes);
}

TEST_F(MftRecordTest, CountZeroMeansNoFixups) {
  std::vector<uint8_t> bytes = RecordBuilder().UpdateSequence(48, 0).ResidentData(900).Build();
  const std::vector<uint8_t> before = bytes;
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_EQ(bytes, before);
}

TEST_F(MftRecordTest, BlocksThatAreNoFileRecordAreRefused) {
  const std::vector<uint8_t> good = test::MakeFileRecord(u"a.txt");
  std::vector<uint8_t> baad = good;
  std::copy_n("BAAD", 4, baad.begin());
  std::vector<uint8_t> zeros(1024);
  std::vector<uint8_t> half(good.begin(), good.begin() + 512);
  for (std::vector<uint8_t>* block : {&baad, &zeros, &half}) {
    EXPECT_EQ(Parse(*block), kErrorInvalidParameter);
  }
}

TEST_F(MftRecordTest, AttributesEndingAtTheBlockEndWithoutMarkerParse) {
  std::vector<uint8_t> filler(968);
  StoreLe32(filler.data(), 0x40);
  StoreLe32(filler.data() + 4, 968);
  std::vector<uint8_t> bytes = RecordBuilder().RawAttribute(filler).WithoutEndMarker().Build();
  EXPECT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_EQ(record.attributeCounts[4], 1);
  EXPECT_EQ(record.attributeCounts[15], 0);
}

TEST_F(MftRecordTest, LastFileNameWinsAndBothAreCounted) {
  std::vector<uint8_t> bytes = RecordBuilder()
                                   .StandardInformation(100)
                                   .FileName(u"LONGFI~1.TXT", 5, 0x20, 0, 2)
                                   .FileName(u"long file name.txt", 7, 0x20, 0, 1)
                                   .Build();
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_EQ(record.fileNameCount, 2);
  EXPECT_EQ(NameOf(record.fileName), u"long file name.txt");
  EXPECT_EQ(ByteView(record.fileName.data(), record.fileName.size()).le64(kFnParent), 7u);
  EXPECT_EQ(NameUnit(record.fileName, 18), u'\0');
}

TEST_F(MftRecordTest, DataSizeIsTheLastDataAttributes) {
  std::vector<uint8_t> file = RecordBuilder()
                                  .StandardInformation(100)
                                  .FileName(u"a.txt", 5, 0x20, 999)
                                  .ResidentData(100)
                                  .ResidentData(26, u"stream")
                                  .Build();
  ASSERT_EQ(Parse(file), kErrorSuccess);
  EXPECT_EQ(record.dataCount, 2);
  EXPECT_EQ(record.DataStreamCount(), 2u);
  EXPECT_EQ(DataSize(record.fileName), 26);

  std::vector<uint8_t> directory =
      RecordBuilder().StandardInformation(100).FileName(u"docs", 5, 0x10000000, 4321).Build();
  ASSERT_EQ(Parse(directory), kErrorSuccess);
  EXPECT_EQ(record.dataCount, 0);
  EXPECT_EQ(DataSize(record.fileName), 4321);
}

// The ids that name a record's contents in a timeline: its $FILE_NAME's, its
// unnamed $DATA's (not a named one's) and its $I30 index root's. An index root
// whose name lies outside the record is passed over, never damage.
TEST_F(MftRecordTest, ContentAttributeIdsAndTheUnnamedStreamsSize) {
  RecordBuilder builder;
  builder.StandardInformation(100)
      .FileName(u"docs", 5, 0x10000000)
      .Resident(0x90, std::vector<uint8_t>(32), u"$I30")
      .ResidentData(26, u"stream")
      .ResidentData(5);
  std::vector<uint8_t> bytes = builder.Build();
  const uint16_t ids[] = {1, 3, 7, 8, 9};
  for (size_t n = 0; n < 5; ++n) StoreLe16(&bytes[builder.AttributeOffset(n) + 14], ids[n]);
  std::vector<uint8_t> copy = bytes;
  ASSERT_EQ(Parse(copy), kErrorSuccess);
  EXPECT_EQ(record.fileNameId, 3);
  EXPECT_TRUE(record.hasIndexRoot);
  EXPECT_EQ(record.indexRootId, 7);
  EXPECT_TRUE(record.hasUnnamedData);
  EXPECT_EQ(record.unnamedDataId, 9);
  EXPECT_EQ(record.unnamedDataSize, 5u);

  StoreLe16(&bytes[builder.AttributeOffset(2) + 10], 1020);
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_FALSE(record.hasIndexRoot);
  EXPECT_TRUE(record.hasUnnamedData);
}

TEST_F(MftRecordTest, NonResidentDataGivesSizeRunsFragmentsAndSparseness) {
  // 0x31 and 0x21 carry non-zero offsets; 0x01 has none (sparse).
  const std::vector<uint8_t> runList = {0x31, 0x10, 0x00, 0x10, 0x00, 0x21,
                                        0x08, 0x00, 0x01, 0x01, 0x04, 0x00};
  std::vector<uint8_t> bytes = RecordBuilder()
                                   .StandardInformation(100)
                                   .FileName(u"big.bin", 5, 0x20)
                                   .NonResidentData(runList, 123456789)
                                   .Build();
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_EQ(record.fragmentCount, 2);
  EXPECT_TRUE(record.sparse);
  EXPECT_EQ(DataSize(record.fileName), 123456789);
  ASSERT_EQ(record.runs.size(), 3u);
  EXPECT_EQ(record.runs[0].lcn, 4096);
  EXPECT_EQ(record.runs[1].lcn, 4096 + 256);
  EXPECT_EQ(record.runs[2].lcn, 4096 + 256);
  EXPECT_EQ(record.runs[2].byteLength, 4u * 4096);
}

TEST_F(MftRecordTest, ShortStandardInformationPrintsTheLineAndFails) {
  std::vector<uint8_t> bytes =
      RecordBuilder().StandardInformation(100, 0, 40).FileName(u"a").Build();
  EXPECT_EQ(Parse(bytes), kErrorInvalidParameter);
  EXPECT_EQ(diagnostics.str(), L"Error Attribute bufferSize=40 expect min size of 48\n");
}

TEST_F(MftRecordTest, FileNameValueTooShortForItsNameIsRefused) {
  RecordBuilder builder;
  builder.StandardInformation(100).FileName(u"abcdef");
  std::vector<uint8_t> bytes = builder.Build();
  const uint32_t attribute = builder.AttributeOffset(1);
  const size_t value = attribute + ByteView(bytes.data(), bytes.size()).le16(attribute + 20);
  bytes[value + 64] = 7;  // one character more than the value holds
  EXPECT_EQ(Parse(bytes), kErrorInvalidParameter);

  std::vector<uint8_t> tooShort = RecordBuilder().Resident(0x30, std::vector<uint8_t>(65)).Build();
  EXPECT_EQ(Parse(tooShort), kErrorInvalidParameter);
}

TEST_F(MftRecordTest, AttributeCountsAddUpOverRecords) {
  std::vector<uint8_t> bytes = test::MakeFileRecord(u"a.txt");
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  AttributeCounts expected{};
  expected[1] = expected[3] = expected[8] = expected[15] = 1;
  EXPECT_EQ(record.attributeCounts, expected);
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  expected[1] = expected[3] = expected[8] = expected[15] = 2;
  EXPECT_EQ(record.attributeCounts, expected);
}

TEST_F(MftRecordTest, RecordWithoutStandardInfoOrNamePresentsZeros) {
  std::vector<uint8_t> full = RecordBuilder()
                                  .StandardInformation(777, 0x20)
                                  .FileName(u"a.txt", 5, 0x20, 50)
                                  .NonResidentData(EncodeRunList({{2, 100}}), 8000)
                                  .Build();
  ASSERT_EQ(Parse(full), kErrorSuccess);
  ASSERT_FALSE(record.runs.empty());
  std::vector<uint8_t> extension = RecordBuilder().Resident(0x40, std::vector<uint8_t>(16)).Build();
  ASSERT_EQ(Parse(extension), kErrorSuccess);
  EXPECT_EQ(record.standardInfo, StandardInfoBlock{});
  EXPECT_EQ(record.fileName, FileNameBlock{});
  EXPECT_TRUE(record.runs.empty());
  EXPECT_EQ(record.fileNameCount, 0);
}

class RecordingObserver : public StreamFilter {
 public:
  bool OnNamedStream(std::u16string_view fileName, std::u16string_view streamName,
                     uint16_t attributeLength) override {
    calls.push_back(std::u16string(fileName) + u":" + std::u16string(streamName));
    lengths.push_back(attributeLength);
    return false;
  }
  std::vector<std::u16string> calls;
  std::vector<uint16_t> lengths;
};

TEST_F(MftRecordTest, NamedNonResidentStreamsAreReportedToTheObserver) {
  std::vector<uint8_t> bytes = RecordBuilder()
                                   .StandardInformation(100)
                                   .FileName(u"a.txt")
                                   .NonResidentData(EncodeRunList({{1, 50}}), 10)
                                   .NonResidentData(EncodeRunList({{1, 60}}), 20, u"ads")
                                   .ResidentData(5, u"small")
                                   .Build();
  RecordingObserver observer;
  ASSERT_EQ(Parse(bytes, &observer), kErrorSuccess);
  ASSERT_EQ(observer.calls, std::vector<std::u16string>{u"a.txt:ads"});
  EXPECT_EQ(observer.lengths[0], 80);
  // The runs are the first non-resident stream's.
  EXPECT_EQ(record.runs.front().lcn, 50);
}

// Records whose structures reach beyond the record, or cannot be held, are
// refused as damaged, never read past.
TEST_F(MftRecordTest, DamagedStructuresRaiseBlockException) {
  const std::vector<uint8_t> good = test::MakeFileRecord(u"a.txt");
  auto damaged = [&](auto change) {
    std::vector<uint8_t> bytes = good;
    change(bytes);
    return bytes;
  };
  auto nonResident = [](std::vector<uint8_t> runList, uint32_t type = 0x80) {
    RecordBuilder builder;
    builder.NonResidentData(runList, 10).WithoutEndMarker();
    std::vector<uint8_t> bytes = builder.Build();
    StoreLe32(&bytes[builder.AttributeOffset(0)], type);
    return bytes;
  };
  std::vector<uint8_t> filler(968);
  StoreLe32(filler.data(), 0x40);
  StoreLe32(filler.data() + 4, 964);  // leaves 4 bytes: a type, but no length

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"array offset at the end", damaged([](auto& b) { StoreLe16(&b[4], 1023); })},
      {"array entries beyond the block", damaged([](auto& b) { StoreLe16(&b[6], 600); })},
      {"strides beyond the block", damaged([](auto& b) { StoreLe16(&b[6], 4); })},
      {"header field beyond the block",
       RecordBuilder().RawAttribute(filler).WithoutEndMarker().Build()},
      {"value beyond the block", damaged([](auto& b) { StoreLe16(&b[56 + 20], 1000); })},
      {"run length wider than 8 bytes", nonResident({0x19, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0})},
      {"run offset wider than 8 bytes", nonResident({0x91, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0})},
      {"run length overflowing 64 bits", nonResident({0x18, 0, 0, 0, 0, 0, 0, 0, 0x80, 0})},
      {"run list running into the block end", nonResident(std::vector<uint8_t>(904, 0x11))},
      {"non-resident standard information", nonResident({0x11, 1, 1, 0}, 0x10)},
      {"non-resident file name", nonResident({0x11, 1, 1, 0}, 0x30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> copy = c.bytes;
    EXPECT_THROW(Parse(copy), BlockException);
    copy = c.bytes;
    EXPECT_EQ(record.TryParse(copy.data(), copy.size(), false, kMaxAttributeData, nullptr, nullptr),
              kErrorFileCorrupt);
  }

  // The stream name is read only for an observer, and must lie in the record.
  RecordBuilder builder;
  builder.NonResidentData(EncodeRunList({{1, 1}}), 10, u"ads");
  std::vector<uint8_t> bytes = builder.Build();
  StoreLe16(&bytes[builder.AttributeOffset(0) + 10], 1000);
  RecordingObserver observer;
  EXPECT_THROW(Parse(bytes, &observer), BlockException);
  EXPECT_TRUE(observer.calls.empty());
}

// Every single-byte change of a sound record either parses, fails with a
// code, or is refused as damaged; none reads outside the record (the
// sanitizer build checks the reads).
TEST_F(MftRecordTest, NoSingleByteChangeReadsOutsideTheRecord) {
  const std::vector<uint8_t> good = RecordBuilder()
                                        .StandardInformation(100)
                                        .FileName(u"a.txt")
                                        .NonResidentData(EncodeRunList({{3, 70}, {2, 10}}), 9000)
                                        .NonResidentData(EncodeRunList({{1, 5}}), 10, u"ads")
                                        .Build();
  RecordingObserver observer;
  for (size_t at = 0; at < 400; ++at) {
    for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      std::vector<uint8_t> bytes = good;
      bytes[at] = value;
      const ErrorCode code =
          record.TryParse(bytes.data(), bytes.size(), false, kMaxAttributeData, nullptr, &observer);
      EXPECT_TRUE(code == kErrorSuccess || code == kErrorInvalidParameter ||
                  code == kErrorNotEnoughMemory || code == kErrorFileCorrupt)
          << "byte " << at << " = " << int(value) << ": " << code;
    }
  }
}

}  // namespace
}  // namespace skerry
