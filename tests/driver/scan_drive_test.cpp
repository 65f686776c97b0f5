#include "driver/scan_drive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "platform/text.h"
#include "support/memory_disk.h"
#include "support/partition_builder.h"
#include "support/record_builder.h"
#include "support/volume_builder.h"

namespace skerry {
namespace {

using test::DiskImage;
using test::MemoryOpener;
using test::PartitionSector;

std::wstring ErrorLine(ErrorCode code) { return L"Error " + ToWide(GetErrorText(code)) + L"\n"; }

class ScanDriveTest : public ::testing::Test {
 protected:
  ScanDriveTest() {
    test::VolumeBuilder builder;
    builder.AddFiles(6);
    builder.SetRecord(5, test::RecordBuilder()
                             .DirectoryRecord(true)
                             .StandardInformation(1)
                             .FileName(u".", 5, 0x10000000)
                             .Build());
    disk = builder.Build();
    // NTFS at 128, FAT32 at 20000, and a type 0x07 partition that holds no NTFS.
    disk->WriteSector(
        0, PartitionSector({{0x07, 128, 10000}, {0x0C, 20000, 100}, {0x07, 30000, 100}}));
    disk->WriteSector(30000, std::vector<uint8_t>(512, 0x11));
    opener.Add(u"\\\\.\\D:", volume);
    SetPartition(1, 1);
  }
  void SetPartition(uint32_t device, uint32_t partition) {
    volume->faults.deviceNumber = device;
    volume->faults.partitionNumber = partition;
    opener.Add(u"\\\\.\\PhysicalDrive" + Widen(std::to_string(device)), disk);
  }
  ErrorCode Scan(std::u16string_view argument = u"d:\\docs") {
    errors.str(L"");
    return ScanDrive(argument, settings, output, opener, errors);
  }

  std::shared_ptr<DiskImage> disk;
  std::shared_ptr<DiskImage> volume = std::make_shared<DiskImage>();
  MemoryOpener opener;
  ScanSettings settings;
  std::wostringstream output;
  std::wostringstream errors;
};

TEST_F(ScanDriveTest, MountsThePartitionTheVolumeLivesOn) {
  settings.drivePrefix = u"before";
  EXPECT_EQ(Scan(u"d"), kErrorSuccess);
  EXPECT_EQ(errors.str(), L"");
  EXPECT_EQ(opener.opened(), (std::vector<std::u16string>{u"\\\\.\\D:", u"\\\\.\\PhysicalDrive1",
                                                          u"\\\\.\\PhysicalDrive1"}));
  EXPECT_EQ(settings.drivePrefix, u"before");
}

TEST_F(ScanDriveTest, DisksTenAndAboveAreOpenedByTheirNumber) {
  SetPartition(12, 1);
  EXPECT_EQ(Scan(), kErrorSuccess);
  EXPECT_EQ(opener.opened().at(1), u"\\\\.\\PhysicalDrive12");
}

// The "Error " line comes first, unchanged; a line that says what was found
// follows where there is more to say than the code.
TEST_F(ScanDriveTest, FailuresPrintTheErrorLineAndWhatWasFound) {
  struct Case {
    const char* what;
    std::u16string argument;
    uint32_t partition;
    ErrorCode expected;
    std::wstring detail;  // a part of the second line; empty: no second line
  };
  const Case cases[] = {
      {"partition of type 0x07 without NTFS", u"d:", 3, kErrorInvalidDrive,
       L"partition 3 of \\\\.\\PhysicalDrive1 (type 0x07) holds no file system that Skerry "
       L"recognises, not NTFS"},
      {"FAT32 type without a file system", u"d:", 2, kErrorInvalidDrive, L"(type 0x0C) holds no"},
      {"partition beyond the list", u"d:", 4, kErrorNotFound, L"the disk has 3 partitions"},
      {"partition number 0", u"d:", 0, kErrorNotFound, L"numbered from 1"},
      {"mapped partition beyond the list", u"d:=disk.img@9", 1, kErrorNotFound,
       L"partition 9 of disk.img does not exist: the disk has 3 partitions"},
      {"mapped file that is missing", u"d:=none.img", 1, kErrorFileNotFound,
       L"cannot open none.img"},
      {"mapping without a path", u"d:=@2", 1, kErrorInvalidParameter,
       L"d:= names no disk, image or device"},
      {"drive that is not there", u"q:", 1, kErrorFileNotFound, L""},
  };
  opener.Add(u"disk.img", disk);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetPartition(1, c.partition);
    EXPECT_EQ(Scan(c.argument), c.expected);
    const std::wstring line = ErrorLine(c.expected);
    EXPECT_EQ(errors.str().substr(0, line.size()), line);
    const std::wstring detail = errors.str().substr(line.size());
    if (c.detail.empty()) {
      EXPECT_EQ(detail, L"");
    } else {
      EXPECT_NE(detail.find(c.detail), std::wstring::npos) << detail;
      EXPECT_EQ(std::count(detail.begin(), detail.end(), L'\n'), 1) << detail;
    }
  }

  volume->faults.deviceNumberFails = true;
  volume->faults.deviceNumberError = kErrorInvalidFunction;
  EXPECT_EQ(Scan(), kErrorInvalidFunction);
  EXPECT_EQ(errors.str(), ErrorLine(kErrorInvalidFunction));
}

// A record of the extended chain past the disk's end costs only the drives
// that lie beyond it.
TEST_F(ScanDriveTest, ExtendedChainPastTheDiskEndKeepsThePrimaries) {
  disk->WriteSector(0, PartitionSector({{0x07, 128, 10000}, {0x05, 40000, 100}}));
  disk->bytes.resize(40000 * 512 + 300);
  EXPECT_EQ(Scan(), kErrorSuccess);
  SetPartition(1, 2);
  EXPECT_EQ(Scan(), kErrorReadFault);
  EXPECT_NE(errors.str().find(L"leads past the disk's end at sector 40000"), std::wstring::npos)
      << errors.str();
}

// d:=PATH names the disk itself; without @P the one NTFS volume on it is
// taken, and a disk or image that holds several names them all.
TEST_F(ScanDriveTest, MappedDrives) {
  opener.Add(u"disk.img", disk);
  ASSERT_EQ(Scan(u"d:=disk.img@1"), kErrorSuccess);
  const std::wstring listed = output.str();
  EXPECT_NE(listed.find(L"D:\\"), std::wstring::npos);
  output.str(L"");
  ASSERT_EQ(Scan(u"d:=disk.img"), kErrorSuccess);
  EXPECT_EQ(output.str(), listed);
  EXPECT_EQ(opener.opened().front(), u"disk.img");  // no volume device, no device-number query

  // The volume alone, cut out of the disk.
  auto bare = std::make_shared<DiskImage>();
  bare->bytes.assign(disk->bytes.begin() + 128 * 512, disk->bytes.end());
  opener.Add(u"volume.img", bare);
  output.str(L"");
  ASSERT_EQ(Scan(u"e:=volume.img"), kErrorSuccess);
  std::wstring expected = listed;
  for (size_t at = expected.find(L"D:"); at != std::wstring::npos; at = expected.find(L"D:", at)) {
    expected[at] = L'E';
  }
  EXPECT_EQ(output.str(), expected);
  EXPECT_EQ(Scan(u"e:=volume.img@1"), kErrorInvalidParameter);
  EXPECT_NE(errors.str().find(L"leave out @1"), std::wstring::npos) << errors.str();

  // A second NTFS volume: the user is asked to choose.
  disk->Write(20000 * 512, std::vector<uint8_t>(disk->bytes.begin() + 128 * 512,
                                                disk->bytes.begin() + 129 * 512));
  EXPECT_EQ(Scan(u"d:=disk.img"), kErrorInvalidParameter);
  EXPECT_NE(errors.str().find(L"disk.img holds 2 NTFS volumes; choose one with d:=disk.img@P:\n"
                              L"  @1  start sector 128, 5000 KiB, type 0x07, NTFS\n"
                              L"  @2  start sector 20000, 50 KiB, type 0x0C, NTFS\n"
                              L"  @3  start sector 30000, 50 KiB, type 0x07, unknown contents\n"),
            std::wstring::npos)
      << errors.str();
}

}  // namespace
}  // namespace skerry
