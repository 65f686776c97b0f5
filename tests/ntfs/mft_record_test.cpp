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
    record.SetGeometry(1024, 4096);
  }
  ErrorCode Parse(const std::vector<uint8_t>& bytes) {
    return record.Parse(ByteView(bytes.data(), bytes.size()));
  }

  MFTRecord record;
};

TEST_F(MftRecordTest, FixupsRestoreTheLastBytesOfEachStride) {
  // A resident value long enough to cover both stride ends.
  const std::vector<uint8_t> disk =
      RecordBuilder().UpdateSequence(48, 3).SequenceNumber(0x4242).ResidentData(900).Build();
  ASSERT_EQ(disk[510], 0x42);
  std::vector<uint8_t> bytes = disk;
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  const ByteView fixed = record.Bytes();
  EXPECT_EQ(fixed.u8(510), disk[50]);
  EXPECT_EQ(fixed.u8(511), disk[51]);
  EXPECT_EQ(fixed.u8(1022), disk[52]);
  EXPECT_EQ(fixed.u8(1023), disk[53]);
  EXPECT_NE(fixed.u8(510), 0x42);

  // The caller's bytes stay as the disk holds them, so a second parse checks
  // and fixes them up again.
  EXPECT_EQ(bytes, disk);
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_EQ(record.Bytes().u8(510), disk[50]);
}

// A stride whose last bytes do not hold the update sequence number was
// written at another time than the rest of the record (a torn write): the
// record is damaged, as is one whose array does not cover every stride.
TEST_F(MftRecordTest, TornRecordsAreDamaged) {
  const std::vector<uint8_t> good =
      RecordBuilder().SequenceNumber(0x4242).StandardInformation(1).FileName(u"a").Build();
  struct Case {
    const char* what;
    size_t at;
    uint16_t value;
  };
  for (const Case& c : {Case{"second stride torn", 1022, 0x4243},
                        Case{"first stride torn", 510, 0x0000},
                        Case{"no update sequence", 6, 0}, Case{"one stride unprotected", 6, 2}}) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = good;
    StoreLe16(&bytes[c.at], c.value);
    EXPECT_EQ(record.TryParse(ByteView(bytes.data(), bytes.size())),
              kErrorFileCorrupt);
  }
}

TEST_F(MftRecordTest, BlocksThatAreNoFileRecordAreRefused) {
  const std::vector<uint8_t> good = test::MakeFileRecord(u"a.txt");
  std::vector<uint8_t> baad = good;
  std::copy_n("BAAD", 4, baad.begin());
  std::vector<uint8_t> half(good.begin(), good.begin() + 512);
  // Zeros but for one byte at the end: not a slot that was never written.
  std::vector<uint8_t> almostZeros(1024);
  almostZeros[1023] = 1;
  for (std::vector<uint8_t>* block : {&baad, &half, &almostZeros}) {
    EXPECT_EQ(Parse(*block), kErrorInvalidParameter);
  }
}

TEST_F(MftRecordTest, NeverUsedRecordOfZerosIsAFreeRecordWithoutAttributes) {
  std::vector<uint8_t> named = test::MakeFileRecord(u"a.txt");
  ASSERT_EQ(Parse(named), kErrorSuccess);
  std::vector<uint8_t> zeros(1024);
  ASSERT_EQ(Parse(zeros), kErrorSuccess);
  EXPECT_FALSE(record.InUse());
  EXPECT_EQ(record.standardInfo, StandardInfoBlock{});
  EXPECT_EQ(record.fileName, FileNameBlock{});
  EXPECT_EQ(record.fileNameCount, 0);
  EXPECT_EQ(record.dataCount, 0);
  EXPECT_EQ(zeros, std::vector<uint8_t>(1024));
}

// Name types: 0 POSIX, 1 Win32, 2 DOS alias, 3 Win32 and DOS in one.
TEST_F(MftRecordTest, NameIsTheLastThatIsNotADosAlias) {
  struct Name {
    const char16_t* name;
    uint8_t type;
  };
  struct Case {
    const char* title;
    std::vector<Name> names;
    const char16_t* expected;
  };
  const Case cases[] = {
      {"alias first", {{u"LONGFI~1.TXT", 2}, {u"long file name.txt", 1}}, u"long file name.txt"},
      {"alias last", {{u"a b.txt", 1}, {u"AB~1.TXT", 2}}, u"a b.txt"},
      {"aliases only", {{u"ONE~1", 2}, {u"TWO~1", 2}}, u"TWO~1"},
      {"hard links", {{u"first", 0}, {u"SECOND~1", 2}, {u"second", 1}, {u"THIRD~1", 2}}, u"second"},
      {"own alias", {{u"SHORT.TXT", 3}, {u"SHORT2.TXT", 2}}, u"SHORT.TXT"},
  };
  for (const Case& c : cases) {
    RecordBuilder builder;
    builder.StandardInformation(100);
    uint64_t parent = 10;
    for (const Name& name : c.names) builder.FileName(name.name, parent++, 0x20, 0, name.type);
    std::vector<uint8_t> bytes = builder.Build();
    ASSERT_EQ(Parse(bytes), kErrorSuccess) << c.title;
    EXPECT_EQ(record.fileNameCount, static_cast<int32_t>(c.names.size())) << c.title;
    EXPECT_EQ(NameOf(record.fileName), c.expected) << c.title;
    // The whole value is the chosen name's, its parent included, with the NUL after it.
    size_t chosen = 0;
    while (std::u16string(c.names[chosen].name) != c.expected) ++chosen;
    EXPECT_EQ(ByteView(record.fileName.data(), record.fileName.size()).le64(kFnParent),
              10u + chosen)
        << c.title;
    EXPECT_EQ(NameUnit(record.fileName, NameLength(record.fileName)), u'\0') << c.title;
    EXPECT_EQ(record.fileName[kFnNameType], c.names[chosen].type) << c.title;
  }
}

TEST_F(MftRecordTest, DataSizeIsTheUnnamedStreamsElseTheLastStreams) {
  const std::vector<uint8_t> runs = EncodeRunList({{2, 100}});
  struct Case {
    const char* title;
    std::vector<uint8_t> bytes;
    int64_t size;
  };
  Case cases[] = {
      {"smaller named stream after",
       RecordBuilder()
           .FileName(u"a", 5, 0x20, 999)
           .ResidentData(100)
           .ResidentData(26, u"z")
           .Build(),
       100},
      {"larger named stream after",
       RecordBuilder()
           .FileName(u"a", 5, 0x20, 999)
           .ResidentData(10)
           .ResidentData(600, u"z")
           .Build(),
       10},
      {"named streams before",
       RecordBuilder()
           .FileName(u"a", 5, 0x20, 999)
           .NonResidentData(runs, 7000, u"big")
           .ResidentData(26, u"z")
           .ResidentData(0)
           .Build(),
       0},
      {"non-resident unnamed",
       RecordBuilder()
           .FileName(u"a", 5, 0x20, 999)
           .NonResidentData(runs, 5000)
           .ResidentData(26, u"z")
           .Build(),
       5000},
      {"named streams only",
       RecordBuilder()
           .FileName(u"a", 5, 0x20, 999)
           .ResidentData(26, u"y")
           .ResidentData(40, u"z")
           .Build(),
       40},
  };
  for (Case& c : cases) {
    ASSERT_EQ(Parse(c.bytes), kErrorSuccess) << c.title;
    EXPECT_EQ(DataSize(record.fileName), c.size) << c.title;
  }
  EXPECT_EQ(record.dataCount, 2);
  EXPECT_EQ(record.DataStreamCount(), 2u);

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
  EXPECT_EQ(record.runs[0].lcn.value, 4096);
  EXPECT_EQ(record.runs[1].lcn.value, 4096 + 256);
  EXPECT_EQ(record.runs[2].lcn.value, 4096 + 256);
  EXPECT_EQ(record.runs[2].byteLength, 4u * 4096);
}

TEST_F(MftRecordTest, ShortStandardInformationFailsAndIsToldByTheCaller) {
  std::vector<uint8_t> bytes =
      RecordBuilder().StandardInformation(100, 0, 40).FileName(u"a").Build();
  EXPECT_EQ(Parse(bytes), kErrorInvalidParameter);
  EXPECT_TRUE(record.standardInfoTooShort);
  std::wostringstream diagnostics;
  WriteParserDiagnostic(&diagnostics, record);
  EXPECT_EQ(diagnostics.str(), L"Error Attribute bufferSize=40 expect min size of 48\n");
  // Another record's parse forgets it.
  std::vector<uint8_t> sound = RecordBuilder().StandardInformation(100).FileName(u"a").Build();
  ASSERT_EQ(Parse(sound), kErrorSuccess);
  WriteParserDiagnostic(&diagnostics, record);
  EXPECT_EQ(diagnostics.str(), L"Error Attribute bufferSize=40 expect min size of 48\n");
}

TEST_F(MftRecordTest, FileNameWithoutAWholeNameIsRefused) {
  RecordBuilder builder;
  builder.StandardInformation(100).FileName(u"abcdef");
  std::vector<uint8_t> bytes = builder.Build();
  const uint32_t attribute = builder.AttributeOffset(1);
  const size_t value = attribute + ByteView(bytes.data(), bytes.size()).le16(attribute + 20);
  bytes[value + 64] = 7;  // one character more than the value holds
  EXPECT_EQ(Parse(bytes), kErrorInvalidParameter);

  std::vector<uint8_t> tooShort = RecordBuilder().Resident(0x30, std::vector<uint8_t>(65)).Build();
  EXPECT_EQ(Parse(tooShort), kErrorInvalidParameter);

  std::vector<uint8_t> empty = RecordBuilder().StandardInformation(100).FileName(u"").Build();
  EXPECT_EQ(Parse(empty), kErrorFileCorrupt);
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

TEST_F(MftRecordTest, RunsAreTheFirstNonResidentStreams) {
  std::vector<uint8_t> bytes = RecordBuilder()
                                   .StandardInformation(100)
                                   .FileName(u"a.txt")
                                   .NonResidentData(EncodeRunList({{1, 50}}), 10)
                                   .NonResidentData(EncodeRunList({{1, 60}}), 20, u"ads")
                                   .ResidentData(5, u"small")
                                   .Build();
  ASSERT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_FALSE(record.streamNameOutside);
  ASSERT_EQ(record.runs.size(), 1u);
  EXPECT_EQ(record.runs.front().lcn.value, 50);
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
      {"first attribute past the block", damaged([](auto& b) { StoreLe16(&b[20], 1024); })},
      {"attribute length past the block", damaged([](auto& b) { StoreLe32(&b[56 + 4], 1000); })},
      {"attribute length 0", damaged([](auto& b) { StoreLe32(&b[56 + 4], 0); })},
      {"attributes ending at the block end without end marker",
       [] {
         std::vector<uint8_t> whole(968);
         StoreLe32(whole.data(), 0x40);
         StoreLe32(whole.data() + 4, 968);
         return RecordBuilder().RawAttribute(whole).WithoutEndMarker().Build();
       }()},
      {"value beyond the block", damaged([](auto& b) { StoreLe16(&b[56 + 20], 1000); })},
      // What the mutation test found passing for sound.
      {"value beyond its attribute", damaged([](auto& b) { StoreLe32(&b[56 + 16], 0x3741259c); })},
      {"bytes in use beyond the block", damaged([](auto& b) { StoreLe32(&b[24], 0x610); })},
      {"first attribute past the bytes in use", damaged([](auto& b) { StoreLe32(&b[24], 56); })},
      {"attribute shorter than its header", damaged([](auto& b) { StoreLe32(&b[56 + 4], 8); })},
      {"update sequence array moved by a byte", damaged([](auto& b) { StoreLe16(&b[4], 49); })},
      {"non-resident attribute too short for its sizes",
       [] {
         RecordBuilder builder;
         builder.ResidentData(0);
         std::vector<uint8_t> bytes = builder.Build();
         bytes[builder.AttributeOffset(0) + 8] = 1;
         return bytes;
       }()},
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
    EXPECT_EQ(record.TryParse(ByteView(copy.data(), copy.size())),
              kErrorFileCorrupt);
  }

  // An extension record's base record must lie in the MFT.
  std::vector<uint8_t> extension = good;
  StoreLe64(&extension[32], 0xEEEEEEEEEEEE);
  MFTRecord limited;
  limited.SetGeometry(1024, 4096);
  limited.SetRecordLimit(64);
  EXPECT_THROW(limited.Parse(ByteView(extension.data(), extension.size())),
               BlockException);
  StoreLe64(&extension[32], 63);
  EXPECT_EQ(limited.Parse(ByteView(extension.data(), extension.size())),
            kErrorSuccess);

  // A stream name that does not lie in the record is never read, and is told.
  RecordBuilder builder;
  builder.NonResidentData(EncodeRunList({{1, 1}}), 10, u"ads");
  std::vector<uint8_t> bytes = builder.Build();
  StoreLe16(&bytes[builder.AttributeOffset(0) + 10], 1000);
  EXPECT_EQ(Parse(bytes), kErrorSuccess);
  EXPECT_TRUE(record.streamNameOutside);
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
  for (size_t at = 0; at < 400; ++at) {
    for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      std::vector<uint8_t> bytes = good;
      bytes[at] = value;
      const ErrorCode code =
          record.TryParse(ByteView(bytes.data(), bytes.size()));
      EXPECT_TRUE(code == kErrorSuccess || code == kErrorInvalidParameter ||
                  code == kErrorNotEnoughMemory || code == kErrorFileCorrupt)
          << "byte " << at << " = " << int(value) << ": " << code;
    }
  }
}

}  // namespace
}  // namespace skerry
