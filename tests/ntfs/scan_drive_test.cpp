#include "driver/scan_drive.h"

#include <gtest/gtest.h>

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

TEST_F(ScanDriveTest, FailuresPrintTheErrorLine) {
  struct Case {
    const char* what;
    uint32_t partition;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"partition of type 0x07 without NTFS", 3, kErrorInvalidDrive},
      {"FAT32 partition", 2, kErrorInvalidDrive},
      {"partition beyond the list", 4, kErrorNotFound},
      {"partition number 0", 0, kErrorNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetPartition(1, c.partition);
    EXPECT_EQ(Scan(), c.expected);
    EXPECT_EQ(errors.str(), ErrorLine(c.expected));
  }

  EXPECT_EQ(Scan(u"q:"), kErrorFileNotFound);
  EXPECT_EQ(errors.str(), ErrorLine(kErrorFileNotFound));

  volume->faults.deviceNumberFails = true;
  volume->faults.deviceNumberError = kErrorInvalidFunction;
  EXPECT_EQ(Scan(), kErrorInvalidFunction);
  EXPECT_EQ(errors.str(), ErrorLine(kErrorInvalidFunction));
}

TEST_F(ScanDriveTest, ShortExtendedBootRecordEndsWithReadFault) {
  disk->WriteSector(0, PartitionSector({{0x07, 128, 10000}, {0x05, 40000, 100}}));
  disk->bytes.resize(40000 * 512 + 300);
  EXPECT_EQ(Scan(), kErrorReadFault);
  EXPECT_EQ(errors.str(), ErrorLine(kErrorReadFault));
}

}  // namespace
}  // namespace skerry
