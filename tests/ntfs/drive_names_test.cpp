#include "ntfs/drive_names.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ntfs/device_number.h"
#include "support/memory_disk.h"

namespace skerry {
namespace {

TEST(DriveNames, LetterComesFromTheArgumentOrTheCurrentDirectory) {
  struct Case {
    std::u16string_view argument;
    char16_t letter;
  };
  const Case cases[] = {
      {u"e", u'e'}, {u"e:", u'e'}, {u"e:\\x\\*.txt", u'e'}, {u"\\x\\y", u'K'},
      {u":", u'K'}, {u"", u'K'},   {u"ab:", u'K'},          {u"docs", u'K'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetDriveLetter(c.argument, u"K:\\work"), c.letter)
        << std::string(c.argument.begin(), c.argument.end());
  }
  EXPECT_EQ(GetDriveLetter(u"", u""), u'\0');
}

TEST(DriveNames, VolumeNameUpperCasesTheLetter) {
  EXPECT_EQ(VolumeDeviceName(u'e'), u"\\\\.\\E:");
  EXPECT_EQ(VolumeDeviceName(u'D'), u"\\\\.\\D:");
  EXPECT_EQ(VolumeDeviceName(u'e').substr(4), u"E:");
}

// Disks 10 and above get their number in decimal, not the character after '9'.
TEST(DriveNames, PhysicalDriveNumbersAreDecimal) {
  EXPECT_EQ(PhysicalDriveName(0), u"\\\\.\\PhysicalDrive0");
  EXPECT_EQ(PhysicalDriveName(9), u"\\\\.\\PhysicalDrive9");
  EXPECT_EQ(PhysicalDriveName(10), u"\\\\.\\PhysicalDrive10");
  EXPECT_EQ(PhysicalDriveName(12), u"\\\\.\\PhysicalDrive12");
}

// Remembers the access each open asked for.
class AccessRecorder : public DeviceOpener {
 public:
  explicit AccessRecorder(DeviceOpener& inner) : inner_(inner) {}
  std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess access,
                                    ErrorCode& error) override {
    accesses.push_back(access);
    return inner_.Open(name, access, error);
  }
  std::vector<DeviceAccess> accesses;

 private:
  DeviceOpener& inner_;
};

TEST(DeviceNumber, AnswersDiskAndPartitionIndex) {
  auto volume = std::make_shared<test::DiskImage>();
  volume->faults.deviceNumber = 3;
  volume->faults.partitionNumber = 2;
  test::MemoryOpener disks;
  disks.Add(u"\\\\.\\D:", volume);
  AccessRecorder opener(disks);
  uint32_t device = 99;
  uint32_t index = 99;
  ASSERT_EQ(GetDeviceNumber(opener, u"\\\\.\\D:", device, index), kErrorSuccess);
  EXPECT_EQ(device, 3u);
  EXPECT_EQ(index, 1u);
  // The query needs no access to the volume's data (read-only media, write blockers).
  EXPECT_EQ(opener.accesses, std::vector<DeviceAccess>{DeviceAccess::kQueryOnly});

  volume->faults.deviceNumberFails = true;
  volume->faults.deviceNumberError = kErrorNotSupported;
  EXPECT_EQ(GetDeviceNumber(opener, u"\\\\.\\D:", device, index), kErrorNotSupported);
  EXPECT_EQ(GetDeviceNumber(opener, u"\\\\.\\Q:", device, index), kErrorFileNotFound);
}

// Everything after "=" is the path; only a final "@" with digits alone after
// it is a partition number.
TEST(DriveMapping, PathAndPartitionNumber) {
  struct Case {
    std::u16string_view argument;
    std::u16string_view path;
    std::optional<uint32_t> partition;
  };
  const Case cases[] = {
      {u"d:=disk.img", u"disk.img", std::nullopt},
      {u"d:=/cases/a@b/disk.img@2", u"/cases/a@b/disk.img", 2},
      {u"d:=user@host.img", u"user@host.img", std::nullopt},
      {u"d:=disk.img@", u"disk.img@", std::nullopt},
      {u"d:=disk.img@2x", u"disk.img@2x", std::nullopt},
      {u"d:=C:\\img\\d.img@99999999999", u"C:\\img\\d.img", UINT32_MAX},
      {u"d:=@3", u"", 3},
  };
  for (const Case& c : cases) {
    const std::optional<DriveMapping> mapping = ParseDriveMapping(c.argument);
    ASSERT_TRUE(mapping.has_value());
    EXPECT_EQ(mapping->letter, u'd');
    EXPECT_EQ(mapping->path, c.path);
    EXPECT_EQ(mapping->partition, c.partition);
  }
  for (std::u16string_view plain : {u"d:", u"d:\\docs", u"d:x=y", u"d=x", u":=x"}) {
    EXPECT_FALSE(ParseDriveMapping(plain).has_value());
  }
}

}  // namespace
}  // namespace skerry
