#include "report/volume_report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "filters/add_file_pattern.h"
#include "filters/match_predicates.h"
#include "platform/bytes.h"
#include "support/memory_disk.h"
#include "support/record_builder.h"
#include "support/volume_builder.h"

namespace skerry {
namespace {

using test::EncodeRunList;
using test::RecordBuilder;

constexpr uint64_t kTime = 0x01D0000000000000;
// No local time exists for this stamp, so the listing's time column is blank
// whatever the time zone and locale of the machine running the test.
constexpr uint64_t kNoLocalTime = 0x8000000000000000;
constexpr uint32_t kDirectory = kFileNameDirectoryFlag;
constexpr char16_t kDisk[] = u"\\\\.\\PhysicalDrive1";

std::vector<uint8_t> IndexRoot() { return std::vector<uint8_t>(32); }

// A small volume whose every record was chosen for the report: two free
// records, a record without $STANDARD_INFORMATION and $FILE_NAME, one system
// file to list, directories and files of several classes and name types.
test::VolumeBuilder ReportVolume() {
  test::VolumeBuilder builder;
  builder.SetRecord(1, RecordBuilder()
                           .StandardInformation(kNoLocalTime, 0x06)
                           .FileName(u"$Volume", 5, 0x06, 0, 3)
                           .ResidentData(0)
                           .Build());
  builder.SetRecord(2, RecordBuilder()
                           .DirectoryRecord(true)
                           .StandardInformation(kTime)
                           .FileName(u"docs", 5, kDirectory | 0x01, 0, 2)
                           .Resident(0x90, IndexRoot())
                           .Build());
  builder.SetRecord(3, RecordBuilder()
                           .InUse(false)
                           .StandardInformation(kTime)
                           .FileName(u"old.txt", 5, 0x07, 300, 0)
                           .ResidentData(300)
                           .Build());
  builder.SetRecord(4, RecordBuilder()
                           .DirectoryRecord(true)
                           .InUse(false)
                           .StandardInformation(kTime)
                           .FileName(u"gone", 5, kDirectory | 0x02, 0, 5)
                           .Resident(0x90, IndexRoot())
                           .Build());
  builder.SetRecord(5, RecordBuilder()
                           .DirectoryRecord(true)
                           .StandardInformation(kTime)
                           .FileName(u".", 5, kDirectory, 0, 3)
                           .Resident(0x90, IndexRoot())
                           .Build());
  builder.SetRecord(6, RecordBuilder().ResidentData(20).Build());
  builder.SetRecord(7, RecordBuilder()
                           .StandardInformation(kTime)
                           .FileName(u"a.txt", 2, 0x820, 10, 1)
                           .ResidentData(10)
                           .Resident(0xE0, std::vector<uint8_t>(8))
                           .Build());
  std::vector<test::TestRun> runs;
  for (const test::MftRun& run : builder.Runs()) {
    runs.push_back(test::TestRun{run.clusters, static_cast<int64_t>(run.lcn)});
  }
  builder.SetRecordZero(RecordBuilder()
                            .StandardInformation(kTime, 0x20)
                            .FileName(u"$MFT", 5, 0x20, builder.DataSize(), 3)
                            .NonResidentData(EncodeRunList(runs), builder.DataSize())
                            .Build());
  return builder;
}

const std::wstring kTitle =
    L"\nMFT Information for volume D:\n\n"
    L"\n====System/Hidden Files====\n";

// Parent, modified date, size, marker and attributes, then the path.
const std::wstring kListingHeader =
    L"Parent"
    L" "
    L"   Modified Date    "
    L" "
    L"                Size"
    L" "
    L" Dir"
    L" "
    L"Attribute"
    L" "
    L"Path\n";
const std::wstring kVolumeFileLine =
    L"     5"
    L" "
    L"                    "
    L" "
    L"                  0 "
    L" "
    L"     "
    L" "
    L"       6"
    L" "
    L"D:\\$Volume\n";

const std::wstring kCountsOfActiveRecords =
    L"\n====Record Summary (Count)===="
    L"\n              Active:              6"
    L"\n                Free:              2"
    L"\n               Total:              8"
    L"\n           Fragments:              1"
    L"\n"
    L"\n====MFT Information (Record Count)====\n"
    // Record 0 is counted twice: once when it is read, once with the MFT.
    L" Standard Information              8\n"
    L"       Attribute List              0\n"
    L"            File Name              8\n"
    L"       Volume Version              0\n"
    L"  Security Descriptor              0\n"
    L"          Volume Name              0\n"
    L"   Volume Information              0\n"
    L"                 Data              6\n"
    L"           Index Root              3\n"
    L"     Index Allocation              0\n"
    L"               Bitmap              0\n"
    L"        Symbolic Link              0\n"
    L"   Extended Attribute              0\n"
    L"                   EA              1\n"
    L"\n====Active Records====\n"
    L"  --ATTRIBUTES (count)--"
    L"\n              Normal:              4"
    L"\n         ReadOnly(R):              1"
    L"\n           Hidden(H):              0"
    L"\n                 R&H:              0"
    L"\n           System(S):              0"
    L"\n                 S&R:              0"
    L"\n                 S&H:              1"
    L"\n               S&R&H:              0"
    L"\n"
    L"\n  --NAME TYPES (count)--"
    L"\n               POSIX:              1"
    L"\n             Unicode:              1"
    L"\n                 DOS:              1"
    L"\n         Unicode&DOS:              3"
    L"\n"
    L"\n  --TYPE (count)--"
    L"\n                File:              4"
    L"\n           Directory:              2"
    L"\n"
    L"\n  --SIZE--"
    L"\n                Real:           8222"
    L"\n           Allocated:          12288"
    L"\n";
const std::wstring kFreeRecords =
    L"\n====Free(deleted) Records====\n"
    L"  --ATTRIBUTES (count)--"
    L"\n              Normal:              0"
    L"\n         ReadOnly(R):              0"
    L"\n           Hidden(H):              1"
    L"\n                 R&H:              0"
    L"\n           System(S):              0"
    L"\n                 S&R:              0"
    L"\n                 S&H:              0"
    L"\n               S&R&H:              1"
    L"\n"
    L"\n  --NAME TYPES (count)--"
    L"\n               POSIX:              1"
    L"\n             Unicode:              1"
    L"\n                 DOS:              0"
    L"\n         Unicode&DOS:              0"
    L"\n"
    L"\n  --TYPE (count)--"
    L"\n                File:              1"
    L"\n           Directory:              1"
    L"\n"
    L"\n  --SIZE--"
    L"\n                Real:            300"
    L"\n           Allocated:           4096"
    L"\n";

class VolumeReportTest : public ::testing::Test {
 protected:
  VolumeReportTest() {
    opener.Add(kDisk, ReportVolume().Build());
    partition.startSector = 128;
    // What the command line -Q makes of the settings.
    settings.queryMode = true;
    settings.attributeMask = 0x4;
    settings.drivePrefix = u"D:";
  }

  ErrorCode Report() {
    NtfsVolume volume(opener);
    volume.SetDiagnosticStream(&output);
    output.str(L"");
    return ReportVolumeInformation(volume, kDisk, partition, settings, output);
  }

  test::MemoryOpener opener;
  PartitionEntry partition;
  ScanSettings settings;
  std::wostringstream output;
};

TEST_F(VolumeReportTest, PrintsTheWholeReportOfAVolume) {
  EXPECT_EQ(Report(), kErrorSuccess);
  EXPECT_EQ(output.str(),
            kTitle + kListingHeader + kVolumeFileLine + kCountsOfActiveRecords + kFreeRecords);
}

TEST_F(VolumeReportTest, RecordFiltersTakeNoPartAndTheCallersSettingsStayAsTheyWere) {
  settings.recordFilter->Append(Ref<Match>::Make<MatchSize>(true, 1000000, SizeGreater));
  AddFilePattern(u"nothing-is-called-this", settings, true);
  const Ref<MultiFilter> callerList = settings.recordFilter;
  settings.showIndex = false;
  settings.showDirectory = false;

  EXPECT_EQ(Report(), kErrorSuccess);
  EXPECT_EQ(output.str(),
            kTitle + kListingHeader + kVolumeFileLine + kCountsOfActiveRecords + kFreeRecords);
  // The caller's settings are as they were; only they and this test hold the list.
  EXPECT_EQ(settings.recordFilter.get(), callerList.get());
  EXPECT_EQ(callerList.holder()->count, 2);
  EXPECT_EQ(callerList->predicates().size(), 2u);
  EXPECT_FALSE(settings.showIndex || settings.showDirectory || settings.showTime);
}

// The stream's name lies outside its record. Loading the MFT reads no stream
// names and counts the record; the listing reads them and passes it over.
TEST_F(VolumeReportTest, ARecordTheListingCannotDecodeStillGetsTheWholeReport) {
  RecordBuilder builder;
  builder.StandardInformation(kTime)
      .FileName(u"b.txt", 5, 0x20, 100, 1)
      .NonResidentData(EncodeRunList({{1, 100}}), 100, u"stream");
  std::vector<uint8_t> record = builder.Build();
  StoreLe16(record.data() + builder.AttributeOffset(2) + 10, 0xFFF0);
  // In place of a.txt, another file in use.
  opener.Add(kDisk, ReportVolume().SetRecord(7, record).Build());

  EXPECT_EQ(Report(), kErrorFileCorrupt);
  const std::wstring text = output.str();
  EXPECT_NE(text.find(L"\n====Record Summary (Count)===="
                      L"\n              Active:              6"),
            std::wstring::npos);
  EXPECT_TRUE(text.ends_with(kFreeRecords));
}

}  // namespace
}  // namespace skerry
