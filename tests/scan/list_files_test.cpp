#include "scan/list_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "filters/add_file_pattern.h"
#include "platform/line_end.h"
#include "platform/locale_format.h"
#include "platform/text.h"
#include "scan/listing_columns.h"
#include "scan/test_volume.h"
#include "support/record_builder.h"

#ifndef _WIN32
#include "platform/scoped_environment.h"
#endif

namespace skerry {
namespace {

using test::EncodeRunList;
using test::kArchive;
using test::kDirectoryFlag;
using test::kRootRecord;
using test::RecordBuilder;
using test::TestRun;
using test::TestVolume;

// 2000-01-01 00:05 UTC.
constexpr uint64_t kNewYear2000 = 125911587000000000;

// C:\Windows\notepad.exe of 1,234,567 bytes in one run of 302 clusters, a
// file with an alternate stream, a sparse file, an empty file, a file in two
// runs and one with two names.
TestVolume SampleVolume() {
  TestVolume volume;
  volume.Directory(30, u"Windows", kRootRecord)
      .Record(31, RecordBuilder()
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"notepad.exe", 30, kArchive)
                      .NonResidentData(EncodeRunList({TestRun{302, 1000}}), 1234567)
                      .Build())
      .Record(32, RecordBuilder()
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"streams.txt", kRootRecord, kArchive)
                      .ResidentData(100)
                      .ResidentData(26, u"Zone.Identifier")
                      .Build())
      .Record(33, RecordBuilder()
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"sparse.bin", kRootRecord, kArchive)
                      .NonResidentData(EncodeRunList({TestRun{4, 200}, TestRun{4, 0, true}}), 32768)
                      .Build())
      .Record(34, RecordBuilder()
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"empty.txt", kRootRecord, kArchive, 77)
                      .ResidentData(0)
                      .Build())
      .Record(35, RecordBuilder()
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"two-runs.dat", kRootRecord, kArchive)
                      .NonResidentData(EncodeRunList({TestRun{4, 100}, TestRun{2, 50}}), 24576)
                      .Build())
      .Record(36, RecordBuilder()
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"LINKED~1.TXT", kRootRecord, kArchive, 0, 2)
                      .FileName(u"linked name.txt", kRootRecord, kArchive, 0, 1)
                      .ResidentData(5)
                      .Build());
  return volume;
}

class ListFilesTest : public ::testing::Test {
 protected:
  ListFilesTest() { settings.drivePrefix = u"C:"; }

  ErrorCode List(TestVolume& volume) {
    output.str(L"");
    NtfsVolume& unmounted = volume.Unmounted();
    return ListFiles(unmounted, test::kTestDisk, volume.partition(), settings, output);
  }
  // The listing's line that ends with `path`.
  std::wstring LineOf(const std::wstring& path) const {
    std::wistringstream lines(output.str());
    for (std::wstring line; std::getline(lines, line);) {
      if (line.size() >= path.size() &&
          line.compare(line.size() - path.size(), path.size(), path) == 0) {
        return line;
      }
    }
    return L"(no line ends with " + path + L")";
  }
  std::wstring Header() const { return output.str().substr(0, output.str().find(L'\n') + 1); }

  ScanSettings settings;
  std::wostringstream output;
};

TEST_F(ListFilesTest, PlainListingIsTheFullNameOfEveryFile) {
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(output.str(),
            L"Path\n"
            L"C:\\$MFT\n"
            L"C:\\.\n"
            L"C:\\Windows\n"
            L"C:\\Windows\\notepad.exe\n"
            L"C:\\streams.txt\n"
            L"C:\\sparse.bin\n"
            L"C:\\empty.txt\n"
            L"C:\\two-runs.dat\n"
            L"C:\\linked name.txt\n");
}

TEST_F(ListFilesTest, ControlCharactersInNamesShowAsQuestionMarksOnlyOnATerminal) {
  TestVolume volume;
  volume.Directory(30, u"d\x1b[2J", kRootRecord)
      .Record(31, test::PlainFileRecord(u"e\x07vil\x9b.txt", 30));
  SetInteractive(output, true);
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(LineOf(L".txt"), L"C:\\d?[2J\\e?vil?.txt");
  SetInteractive(output, false);
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(LineOf(L".txt"), L"C:\\d\x1b[2J\\e\x07vil\x9b.txt");
}

TEST_F(ListFilesTest, WithoutDirectoriesTheDriveIsFollowedByTheName) {
  settings.showDirectory = false;
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(Header(), L"Path\n");
  EXPECT_EQ(LineOf(L"notepad.exe"), L"C:notepad.exe");
}

TEST_F(ListFilesTest, HeadersLineUpWithTheirColumns) {
  struct Case {
    bool ScanSettings::*switches[3];
    const wchar_t* header;
  };
  const Case cases[] = {
      {{&ScanSettings::showIndex}, L"Parent Path\n"},
      {{&ScanSettings::showStreamCount, &ScanSettings::showNameCount}, L" #Data  #Name Path\n"},
      {{&ScanSettings::showTime}, L"   Modified Date     Path\n"},
      {{&ScanSettings::showSize}, L"                Size Path\n"},
      {{&ScanSettings::showAttributes}, L" Dir Attribute Path\n"},
      {{&ScanSettings::showVcn}, L"Path\n"},
      {{&ScanSettings::showIndex, &ScanSettings::showSize}, L"Parent                 Size Path\n"},
      {{&ScanSettings::showIndex, &ScanSettings::showStreamCount, &ScanSettings::showAttributes},
       L"Parent  #Data  Dir Attribute Path\n"},
  };
  for (const Case& c : cases) {
    ScanSettings chosen;
    for (bool ScanSettings::*on : c.switches) {
      if (on != nullptr) chosen.*on = true;
    }
    EXPECT_EQ(ListingHeader(chosen), c.header);
  }
}

TEST_F(ListFilesTest, StreamAndNameCounts) {
  settings.showStreamCount = true;
  settings.showNameCount = true;
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(Header(), L" #Data  #Name Path\n");
  EXPECT_EQ(LineOf(L"\\streams.txt"), L"     2      1 C:\\streams.txt");
  EXPECT_EQ(LineOf(L"\\linked name.txt"), L"     1      2 C:\\linked name.txt");
  EXPECT_EQ(LineOf(L"\\Windows"), L"     0      1 C:\\Windows");
}

TEST_F(ListFilesTest, AttributesWithDirectoryAndStreamMarkers) {
  settings.showAttributes = true;
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(LineOf(L"\\Windows"), L" Dir  10000000 C:\\Windows");
  EXPECT_EQ(LineOf(L"\\streams.txt"), L" Aux        20 C:\\streams.txt");
  EXPECT_EQ(LineOf(L"\\notepad.exe"), L"            20 C:\\Windows\\notepad.exe");
  // The root's own entry.
  EXPECT_EQ(LineOf(L"C:\\."), L" Dir  10000000 C:\\.");
}

TEST_F(ListFilesTest, RunListsOfNonResidentData) {
  settings.showVcn = true;
  settings.showIndex = true;
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(LineOf(L"\\two-runs.dat"), L"     5  VCN(2) 100#4 50#2 C:\\two-runs.dat");
  EXPECT_EQ(LineOf(L"\\notepad.exe"), L"    30  VCN(1) 1000#302 C:\\Windows\\notepad.exe");
  // A resident file has no run list at all.
  EXPECT_EQ(LineOf(L"\\empty.txt"), L"     5 C:\\empty.txt");
}

#ifndef _WIN32
// Sizes and times follow the locale and the time zone.
class LocaleListFilesTest : public ListFilesTest {
 protected:
  void SetUp() override {
    environment_.Clear("LC_NUMERIC");
    environment_.Clear("LC_TIME");
    environment_.Clear("LANG");
    environment_.Set("LC_ALL", "en_US.UTF-8");
    environment_.Set("TZ", "UTC");
    ResetLocaleCacheForTesting();
    if (UserNumberFormat().grouping != 3) GTEST_SKIP() << "en_US.UTF-8 is not installed";
  }
  void TearDown() override { ResetLocaleCacheForTesting(); }

 private:
  testing::ScopedEnvironment environment_;
};

TEST_F(LocaleListFilesTest, ParentAndGroupedSize) {
  settings.showIndex = true;
  settings.showSize = true;
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(Header(), L"Parent                 Size Path\n");
  EXPECT_EQ(LineOf(L"\\notepad.exe"), L"    30           1,234,567  C:\\Windows\\notepad.exe");
  EXPECT_EQ(LineOf(L"\\sparse.bin"), L"     5              32,768% C:\\sparse.bin");
  // A file's size is its $DATA's, not what its $FILE_NAME holds.
  EXPECT_EQ(LineOf(L"\\empty.txt"), L"     5                   0  C:\\empty.txt");
  // The unnamed stream's size, whatever the named streams hold.
  EXPECT_EQ(LineOf(L"\\streams.txt"), L"     5                 100  C:\\streams.txt");
}

TEST_F(LocaleListFilesTest, ModificationTimeInLocalTime) {
  settings.showTime = true;
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(Header(), L"   Modified Date     Path\n");
  EXPECT_EQ(LineOf(L"\\notepad.exe"), L"01/01/2000  12:05 AM C:\\Windows\\notepad.exe");
}

// Lines in a row whose stamps share a second share its text; a stamp a
// minute later, even between two equal ones, gets its own.
TEST_F(LocaleListFilesTest, EachLineShowsItsOwnTime) {
  settings.showTime = true;
  constexpr uint64_t kMinute = 600000000;
  TestVolume volume;
  const uint64_t stamps[] = {kNewYear2000, kNewYear2000 + 5, kNewYear2000 + kMinute, kNewYear2000};
  for (uint64_t i = 0; i < 4; ++i) {
    volume.Record(30 + i, RecordBuilder()
                              .StandardInformation(stamps[i], kArchive)
                              .FileName(u"f" + Widen(std::to_string(i)), kRootRecord, kArchive)
                              .ResidentData(1)
                              .Build());
  }
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(LineOf(L"\\f0"), L"01/01/2000  12:05 AM C:\\f0");
  EXPECT_EQ(LineOf(L"\\f1"), L"01/01/2000  12:05 AM C:\\f1");
  EXPECT_EQ(LineOf(L"\\f2"), L"01/01/2000  12:06 AM C:\\f2");
  EXPECT_EQ(LineOf(L"\\f3"), L"01/01/2000  12:05 AM C:\\f3");
}
#endif

TEST_F(ListFilesTest, NothingSelectedWritesNothing) {
  settings.attributeMask = 0x100;  // temporary files: none here
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(output.str(), L"");
}

TEST_F(ListFilesTest, DirectoryPatternsNarrowTheListing) {
  AddFilePattern(u"\\Windows\\*", settings, true);
  TestVolume volume = SampleVolume();
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(output.str(), L"Path\nC:\\Windows\\notepad.exe\n");
}

TEST_F(ListFilesTest, MountFailureWritesNothing) {
  TestVolume volume = SampleVolume();
  volume.builder().SetRecordZero(test::PlainFileRecord(u"NotTheMft", kRootRecord));
  EXPECT_EQ(List(volume), kErrorBadDevice);
  EXPECT_EQ(output.str(), L"");
}

// A read that fails inside the MFT (read four records at a time) ends the
// listing with its code, after the records read before it.
TEST_F(ListFilesTest, ReadFailureInsideTheMftListsWhatWasRead) {
  TestVolume volume = SampleVolume();
  NtfsVolume& unmounted = volume.Unmounted();
  unmounted.SetStreamBufferSize(4096);
  volume.disk().faults.failReadAtOffset = 128 * 512 + 4 * 4096 + 32 * 1024;
  EXPECT_EQ(ListFiles(unmounted, test::kTestDisk, volume.partition(), settings, output),
            kErrorIoDevice);
  EXPECT_EQ(output.str(), L"Path\nC:\\$MFT\nC:\\.\nC:\\Windows\nC:\\Windows\\notepad.exe\n");
}

// A failed write must not silence the lines after it.
TEST_F(ListFilesTest, FailedStreamIsClearedBeforeTheNextLine) {
  output.setstate(std::ios::badbit);
  TestVolume volume = SampleVolume();
  NtfsVolume& unmounted = volume.Unmounted();
  ASSERT_EQ(ListFiles(unmounted, test::kTestDisk, volume.partition(), settings, output),
            kErrorSuccess);
  EXPECT_EQ(Header(), L"Path\n");
  EXPECT_TRUE(output.good());
}

// -e: records no longer in use are listed too, marked, with their paths
// through a directory that is gone as well; -0: no header, NUL-ended lines.
TEST_F(ListFilesTest, DeletedRecordsAndNulEndedLinesOnRequest) {
  TestVolume volume = SampleVolume();
  volume.Record(37, RecordBuilder()
                        .InUse(false)
                        .StandardInformation(kNewYear2000, kArchive)
                        .FileName(u"gone.txt", 30, kArchive)
                        .ResidentData(3)
                        .Build())
      .Record(38, RecordBuilder()
                      .InUse(false)
                      .DirectoryRecord(true)
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"old-dir", kRootRecord, kDirectoryFlag)
                      .Build())
      .Record(39, RecordBuilder()
                      .InUse(false)
                      .StandardInformation(kNewYear2000, kArchive)
                      .FileName(u"inner.txt", 38, kArchive)
                      .ResidentData(1)
                      .Build());
  ASSERT_EQ(List(volume), kErrorSuccess);
  EXPECT_EQ(output.str().find(L"gone.txt"), std::wstring::npos);

  settings.includeDeleted = true;
  settings.nulTerminated = true;
  ASSERT_EQ(List(volume), kErrorSuccess);
  const std::wstring text = output.str();
  EXPECT_EQ(text.rfind(L"C:\\$MFT", 0), 0u) << "no header";
  // "|" stands for NUL.
  const auto line = [](std::wstring nulEnded) {
    std::replace(nulEnded.begin(), nulEnded.end(), L'|', L'\0');
    return nulEnded;
  };
  EXPECT_NE(text.find(line(L"|C:\\Windows\\notepad.exe|")), std::wstring::npos);
  EXPECT_NE(text.find(line(L"|*C:\\Windows\\gone.txt|")), std::wstring::npos);
  EXPECT_NE(text.find(line(L"|*C:\\old-dir\\inner.txt|")), std::wstring::npos);
  EXPECT_EQ(text.find(L'\n'), std::wstring::npos);
}

}  // namespace
}  // namespace skerry
