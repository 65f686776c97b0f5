#include "scan/scan_loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/bytes.h"
#include "platform/text.h"
#include "scan/diagnostic_relay.h"
#include "scan/entry_reader.h"
#include "scan/list_files.h"
#include "scan/test_volume.h"
#include "support/record_builder.h"

namespace skerry {
namespace {

using test::kArchive;
using test::kRootRecord;
using test::RecordBuilder;
using test::TestVolume;

class RecordingVisitor : public EntryVisitor {
 public:
  void Visit(const FileEntry& entry) override {
    names.push_back(std::u16string(entry.path) + u"\\" + entry.name);
  }
  std::vector<std::u16string> names;
};

std::vector<std::u16string> Scan(TestVolume& volume, const ScanSettings& settings,
                                 ErrorCode expected = kErrorSuccess) {
  EntryCollector collector(settings);
  EXPECT_EQ(volume.Mount(&collector), kErrorSuccess);
  RecordingVisitor visitor;
  EXPECT_EQ(ScanEntries(collector, settings, u'\\', visitor), expected);
  return visitor.names;
}

// Reads the entries of chosen records as the stream passes them.
class EntryRecorder final : public MftRecordConsumer {
 public:
  void Consume(uint64_t number, ErrorCode error, const MFTRecord& record,
               AttributeReader&) override {
    if (error == kErrorSuccess && number >= 30) {
      entries.emplace_back();
      ReadEntry(record, number, entries.back());
    }
  }
  std::vector<FileEntry> entries;
};

TEST(AttributeSelectionTest, MaskStreamCountAndSystemRule) {
  struct Case {
    uint32_t attributes;
    uint32_t dataCount;
    uint32_t nameCount;
    bool sparse;
    uint32_t mask;
    bool showStreamCount;
    bool selected;
  };
  const Case cases[] = {
      {0x20, 1, 1, false, 0xFFFFFFFF, false, true},
      {0, 1, 1, false, 0xFFFFFFFF, false, true},
      {0x20, 1, 1, false, 0x2, false, false},
      {0x22, 1, 1, false, 0x2, false, true},
      // -# also selects files of several streams or names, whatever the mask.
      {0x20, 2, 1, false, 0x2, true, true},
      {0x20, 1, 2, false, 0x2, true, true},
      {0x20, 2, 1, false, 0x2, false, false},
      {0x20, 1, 1, false, 0x2, true, false},
      // The system mask (-Q) also takes files without attributes and sparse files.
      {0, 1, 1, false, 0x4, false, true},
      {0x20, 1, 1, true, 0x4, false, true},
      {0x20, 1, 1, false, 0x4, false, false},
      {0, 1, 1, true, 0x2, false, false},
      {0x10000000, 0, 1, false, 0x10000000, false, true},
  };
  for (const Case& c : cases) {
    FileEntry entry;
    entry.attributes = c.attributes;
    entry.dataCount = c.dataCount;
    entry.nameCount = c.nameCount;
    entry.sparse = c.sparse;
    EXPECT_EQ(PassesAttributeSelection(entry, c.mask, c.showStreamCount), c.selected)
        << std::hex << c.attributes << " mask " << c.mask << std::dec << " data " << c.dataCount
        << " names " << c.nameCount << " sparse " << c.sparse << " -# " << c.showStreamCount;
  }
}

TEST(EntryReaderTest, DecodesAStreamedRecord) {
  TestVolume volume;
  // Parent reference with sequence number 3 and record 0x1'0000'0040: the
  // entry keeps the low 32 bits, resolution takes the low 48.
  constexpr uint64_t kParent = (uint64_t{3} << 48) | 0x0100000040;
  volume.Record(30, RecordBuilder()
                        .StandardInformation(1000, 0x20)
                        .FileName(u"SHORT~1.TXT", kParent, 0x20, 0, 2)
                        .FileName(u"long name.txt", kParent, 0x21, 0, 1)
                        .ResidentData(100, u"stream")
                        .NonResidentData(test::EncodeRunList({{3, 40}}), 0xABCD000000001234)
                        .Build());
  volume.Record(31, RecordBuilder().InUse(false).FileName(u"gone.txt").Build());
  EntryRecorder recorder;
  ASSERT_EQ(volume.Mount(&recorder), kErrorSuccess);
  ASSERT_EQ(recorder.entries.size(), 2u);
  const FileEntry& entry = recorder.entries[0];
  EXPECT_EQ(entry.recordNumber, 30u);
  EXPECT_EQ(entry.created, 999u);
  EXPECT_EQ(entry.modified, 1000u);
  EXPECT_EQ(entry.mftChanged, 1001u);
  EXPECT_EQ(entry.accessed, 1002u);
  EXPECT_EQ(entry.name, u"long name.txt");
  EXPECT_EQ(entry.attributes, 0x21u);
  EXPECT_EQ(entry.parent, 0x40u);
  EXPECT_EQ(entry.parentReference, kParent);
  EXPECT_EQ(entry.nameCount, 2u);
  EXPECT_EQ(entry.dataCount, 2u);
  EXPECT_EQ(entry.size, 0x000000001234u);  // the unnamed stream's, low 48 bits
  ASSERT_EQ(entry.runs.size(), 1u);
  EXPECT_EQ(entry.runs[0].lcn.value, 40);
  EXPECT_FALSE(entry.deleted);

  const FileEntry& deleted = recorder.entries[1];
  EXPECT_TRUE(deleted.deleted);
  EXPECT_EQ(deleted.name, u"gone.txt");
}

TEST(ScanEntriesTest, PassesOverFreeAndNamelessRecords) {
  TestVolume volume;
  volume.File(30, u"kept.txt", kRootRecord)
      .Record(31, RecordBuilder().InUse(false).FileName(u"kept.txt").Build())
      .Record(32, RecordBuilder().StandardInformation(5).ResidentData(3).Build())
      // A slot that was never written: zeros, free, and no damage.
      .Record(33, std::vector<uint8_t>(1024, 0))
      .File(34, u"after.txt", kRootRecord);
  ScanSettings settings;
  EXPECT_EQ(Scan(volume, settings),
            (std::vector<std::u16string>{u"\\$MFT", u"\\.", u"\\kept.txt", u"\\after.txt"}));
}

// The record at position 33 does not start with FILE, the one at 35 holds a
// $FILE_NAME that reaches beyond the record, 37 is zeros (free, not damage):
// every other file is still listed, and the scan ends with ERROR_FILE_CORRUPT.
TEST(ScanEntriesTest, DamagedRecordDoesNotHideTheRestOfTheVolume) {
  TestVolume volume;
  for (uint64_t record = 30; record < 40; ++record) {
    std::u16string name = u"f";
    name.push_back(static_cast<char16_t>(u'0' + record - 30));
    volume.File(record, name, kRootRecord);
  }
  std::vector<uint8_t> bad = test::PlainFileRecord(u"f3", kRootRecord);
  bad[0] = 'B';
  volume.Record(33, bad);
  RecordBuilder overreaching;
  overreaching.StandardInformation(1).FileName(u"f5", kRootRecord);
  std::vector<uint8_t> beyond = overreaching.Build();
  StoreLe32(beyond.data() + overreaching.AttributeOffset(1) + 16, 5000);
  volume.Record(35, beyond);
  volume.Record(37, std::vector<uint8_t>(1024, 0));

  ScanSettings settings;
  EXPECT_EQ(Scan(volume, settings, kErrorFileCorrupt),
            (std::vector<std::u16string>{u"\\$MFT", u"\\.", u"\\f0", u"\\f1", u"\\f2", u"\\f4",
                                         u"\\f6", u"\\f8", u"\\f9"}));
}

// A directory whose $STANDARD_INFORMATION is too short is damaged: the
// parser's line about it is written once, to the stream it is given, however
// many files below it need their path.
TEST(ScanEntriesTest, DamagedDirectoryIsToldOfOnce) {
  TestVolume volume;
  volume.Record(30, RecordBuilder()
                        .StandardInformation(1, 0x10, 40)
                        .FileName(u"dir", kRootRecord, 0x10000000)
                        .Build());
  for (uint64_t record = 31; record < 36; ++record) volume.File(record, u"f", 30);
  std::wostringstream diagnostics;
  volume.Unmounted().SetDiagnosticStream(&diagnostics);
  ScanSettings settings;
  settings.showDirectory = true;
  EntryCollector collector(settings);
  ASSERT_EQ(volume.volume().Mount(test::kTestDisk, volume.partition(), u'\\', &collector),
            kErrorSuccess);
  RecordingVisitor visitor;
  EXPECT_EQ(ScanEntries(collector, settings, u'\\', visitor), kErrorFileCorrupt);
  EXPECT_EQ(visitor.names.size(), 7u);
  EXPECT_EQ(diagnostics.str(), L"Error Attribute bufferSize=40 expect min size of 48\n");
}

// Paths come from the directory table alone, damaged and looping directories
// included.
TEST(ScanEntriesTest, BrokenChainsListUnderTheOrphanMarker) {
  TestVolume volume;
  volume.Directory(30, u"a", kRootRecord)
      .Directory(31, u"b", 30)
      .File(32, u"in-b.txt", 31)
      .Record(33, std::vector<uint8_t>(1024, 0xEE))
      .Directory(34, u"under-damaged", 33)
      .File(35, u"deep.txt", 34)
      .Directory(36, u"loop-x", 37)
      .Directory(37, u"loop-y", 36)
      .File(38, u"looped.txt", 36)
      .File(39, u"orphan.txt", 5000);
  ScanSettings settings;
  EntryCollector collector(settings);
  ASSERT_EQ(volume.Mount(&collector), kErrorSuccess);
  std::wostringstream listing;
  EXPECT_EQ(ListMountedVolume(volume.volume(), settings, collector, listing), kErrorFileCorrupt);
  // Whatever lies above a broken chain shows as the orphan marker. loop-x's
  // line resolves its parent loop-y first; the chain closes at loop-x, which
  // then heads it below the marker.
  EXPECT_EQ(listing.str(),
            L"Path\n\\$MFT\n\\.\n\\a\n\\a\\b\n\\a\\b\\in-b.txt\n"
            L"\\$OrphanFiles\\under-damaged\n\\$OrphanFiles\\under-damaged\\deep.txt\n"
            L"\\$OrphanFiles\\loop-x\\loop-y\\loop-x\n\\$OrphanFiles\\loop-x\\loop-y\n"
            L"\\$OrphanFiles\\loop-x\\looped.txt\n\\$OrphanFiles\\orphan.txt\n");
}

// Files the attribute selection leaves out still ask for their paths, in
// their place in the MFT: a loop is entered where such a file enters it, and
// a broken chain under such a file is damage.
TEST(ScanEntriesTest, FilesLeftOutStillResolveTheirPathsInOrder) {
  constexpr uint32_t kHidden = 0x2;
  TestVolume volume;
  volume
      .Record(36, RecordBuilder()
                      .DirectoryRecord(true)
                      .StandardInformation(test::kSomeTime, 0x12)
                      .FileName(u"loop-x", 37, kHidden)
                      .Build())
      .Directory(37, u"loop-y", 36)
      .File(38, u"looped.txt", 36);
  ScanSettings settings;
  settings.attributeMask = test::kDirectoryFlag | kArchive;
  EXPECT_EQ(Scan(volume, settings, kErrorFileCorrupt),
            (std::vector<std::u16string>{u"\\.", u"\\$OrphanFiles\\loop-x\\loop-y",
                                         u"\\$OrphanFiles\\loop-x\\looped.txt"}));

  TestVolume orphan;
  orphan.File(30, u"kept.txt", kRootRecord)
      .Record(31, RecordBuilder()
                      .StandardInformation(test::kSomeTime, kHidden)
                      .FileName(u"lost.txt", 5000, kHidden)
                      .Build());
  EXPECT_EQ(Scan(orphan, settings, kErrorFileCorrupt),
            (std::vector<std::u16string>{u"\\.", u"\\kept.txt"}));
}

// Lines and the load's diagnostic lines, as one reader sees them.
class LoggingVisitor : public EntryVisitor {
 public:
  explicit LoggingVisitor(std::wostringstream& log) : log_(log) {}
  void Visit(const FileEntry& entry) override {
    log_ << Text(entry.path) << L'\\' << Text(entry.name) << L'\n';
  }

 private:
  std::wostringstream& log_;
};

// Written while the MFT loads, published after every record, a listing is
// the listing written after the load, whatever the threads' pace: files
// before their directories, a directory named by a later extension record,
// loops, broken chains, deleted files and files left out. The load's
// diagnostic line lands before the first line kept after its record.
TEST(ScanEntriesTest, ListingWhileTheMftLoadsIsTheListingAfterIt) {
  constexpr uint32_t kHidden = 0x2;
  TestVolume volume;
  volume.File(30, u"early.txt", 45)
      .Directory(31, u"a", kRootRecord)
      .File(32, u"in-a.txt", 31)
      .Record(33, test::DirectoryNamedElsewhere(34))
      .Record(34, test::NameExtension(33, u"named-later"))
      .File(35, u"in-named.txt", 33)
      .Directory(36, u"loop-x", 37)
      .Directory(37, u"loop-y", 36)
      .File(38, u"looped.txt", 36)
      .File(39, u"orphan.txt", 5000)
      .Record(40, RecordBuilder()
                      .DirectoryRecord(true)
                      .StandardInformation(1, 0x10, 40)
                      .FileName(u"short-info", kRootRecord, test::kDirectoryFlag)
                      .Build())
      .File(41, u"in-short.txt", 40)
      .Record(42, RecordBuilder()
                      .StandardInformation(test::kSomeTime, kHidden)
                      .FileName(u"hidden.txt", 46, kHidden)
                      .Build())
      .Record(43, RecordBuilder()
                      .InUse(false)
                      .StandardInformation(test::kSomeTime, kArchive)
                      .FileName(u"deleted.txt", 31, kArchive)
                      .Build())
      .Directory(45, u"late", kRootRecord)
      .Directory(46, u"later", 45)
      .File(47, u"last.txt", 46);
  ScanSettings plain;
  plain.includeDeleted = true;
  ScanSettings selected;
  selected.attributeMask = test::kDirectoryFlag | kArchive;
  for (const ScanSettings* settings : {&plain, &selected}) {
    std::wostringstream expected;
    EntryCollector loaded(*settings);
    volume.Unmounted().SetDiagnosticStream(&expected);
    ASSERT_EQ(volume.volume().Mount(test::kTestDisk, volume.partition(), u'\\', &loaded),
              kErrorSuccess);
    LoggingVisitor after(expected);
    const ErrorCode code = ScanEntries(loaded, *settings, u'\\', after);
    const std::wstring diagnostic = L"Error Attribute bufferSize=40 expect min size of 48\n";
    std::wstring listing = expected.str();
    ASSERT_EQ(listing.rfind(diagnostic, 0), 0u) << listing;
    listing.erase(0, diagnostic.size());
    listing.insert(listing.find(L"\\$OrphanFiles\\in-short.txt\n"), diagnostic);
    for (int round = 0; round < 20; ++round) {
      std::wostringstream log;
      NtfsVolume& unmounted = volume.Unmounted();
      EntryCollector collector(*settings);
      collector.PublishWhileLoading(1);
      DiagnosticRelay diagnostics(log, collector.kept());
      unmounted.SetDiagnosticStream(&diagnostics.stream());
      std::thread loading([&] {
        EXPECT_EQ(unmounted.Mount(test::kTestDisk, volume.partition(), u'\\', &collector),
                  kErrorSuccess);
        collector.EndLoad();
      });
      LoggingVisitor visitor(log);
      EXPECT_EQ(ScanEntriesWhileLoading(collector, *settings, u'\\', visitor, diagnostics), code);
      loading.join();
      diagnostics.WriteUpTo(SIZE_MAX);
      ASSERT_EQ(log.str(), listing) << round;
    }
  }
}

}  // namespace
}  // namespace skerry
