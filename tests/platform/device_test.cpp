#ifndef _WIN32

#include "platform/device.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/device_directory.h"
#include "platform/scoped_environment.h"
#include "platform/scratch_directory.h"

namespace skerry {
namespace {

namespace fs = std::filesystem;

constexpr size_t kImageSize = 4096;

std::string ImageBytes() {
  std::string bytes(kImageSize, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

// A device directory that maps a disk image the way the design describes:
// physicaldrive1 -> the image, d:: -> physicaldrive1/partition2.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = scratch_.WriteFile("disk.img", ImageBytes());
    fs::create_directory(devices_);
    fs::create_symlink(image_, devices_ / "physicaldrive1");
    fs::create_symlink("physicaldrive1/partition2", devices_ / "d::");
    fs::create_symlink(image_, devices_ / "e::");
    fs::create_symlink("nowhere", devices_ / "f::");
    fs::create_symlink("g::", devices_ / "g::");
    fs::create_directory(devices_ / "physicaldrive3");
    environment_.Set("SKERRY_DOSDEVICES", devices_.string());
  }

  std::unique_ptr<BlockDevice> Open(std::u16string_view name, ErrorCode& error,
                                    DeviceAccess access = DeviceAccess::kRead) {
    return SystemDeviceOpener().Open(name, access, error);
  }

  testing::ScratchDirectory scratch_;
  testing::ScopedEnvironment environment_;
  fs::path image_;
  fs::path devices_ = scratch_ / "dosdevices";
};

TEST_F(DeviceTest, NamesMapToTheirEntriesOrFailLikeWindows) {
  struct Case {
    const char16_t* name;
    ErrorCode error;
  };
  const Case cases[] = {
      {u"\\\\.\\PhysicalDrive1", kErrorSuccess},
      {u"\\\\.\\physicaldrive1", kErrorSuccess},
      {u"\\\\.\\D:", kErrorSuccess},
      {u"\\\\.\\d:", kErrorSuccess},
      {u"\\\\.\\E:", kErrorSuccess},
      {u"\\\\.\\PhysicalDrive2", kErrorFileNotFound},
      {u"\\\\.\\PhysicalDrive01", kErrorFileNotFound},
      {u"\\\\.\\PhysicalDrive<", kErrorFileNotFound},
      {u"\\\\.\\Q:", kErrorFileNotFound},
      {u"\\\\.\\F:", kErrorFileNotFound},              // a link that leads nowhere
      {u"\\\\.\\G:", kErrorCantResolveFilename},       // a link to itself
      {u"\\\\.\\PhysicalDrive3", kErrorAccessDenied},  // a directory is no disk
      {u"C:\\disk.img", kErrorFileNotFound},
  };
  for (const Case& c : cases) {
    ErrorCode error = 12345;
    auto device = Open(c.name, error);
    EXPECT_EQ(error, c.error) << fs::path(std::u16string(c.name)).string();
    EXPECT_EQ(device != nullptr, c.error == kErrorSuccess);
  }
}

TEST_F(DeviceTest, DeviceNumbersOfDisksAndVolumes) {
  struct Case {
    const char16_t* name;
    ErrorCode error;
    uint32_t deviceNumber;
    uint32_t partitionNumber;
  };
  const Case cases[] = {
      {u"\\\\.\\D:", kErrorSuccess, 1, 2},
      {u"\\\\.\\PhysicalDrive1", kErrorSuccess, 1, 0},
      {u"\\\\.\\E:", kErrorNotSupported, 0, 0},  // a plain file holds no partition
  };
  for (const Case& c : cases) {
    ErrorCode error = 0;
    auto device = Open(c.name, error);
    ASSERT_TRUE(device);
    uint32_t deviceNumber = 99;
    uint32_t partitionNumber = 99;
    bool answered = device->QueryDeviceNumber(deviceNumber, partitionNumber);
    EXPECT_EQ(answered, c.error == kErrorSuccess);
    if (answered) {
      EXPECT_EQ(deviceNumber, c.deviceNumber);
      EXPECT_EQ(partitionNumber, c.partitionNumber);
    } else {
      EXPECT_EQ(device->LastError(), c.error);
    }
  }
}

TEST_F(DeviceTest, SeekAndReadFollowWin32Semantics) {
  ErrorCode error = 0;
  auto disk = Open(u"\\\\.\\PhysicalDrive1", error);
  ASSERT_TRUE(disk);
  const std::string expected = ImageBytes();
  std::vector<char> buffer(512);
  uint32_t got = 0;

  ASSERT_TRUE(disk->Read(buffer.data(), 512, got));
  EXPECT_EQ(got, 512u);
  EXPECT_EQ(std::string(buffer.data(), 512), expected.substr(0, 512));

  // The file pointer advances with each read.
  ASSERT_TRUE(disk->Read(buffer.data(), 100, got));
  EXPECT_EQ(std::string(buffer.data(), 100), expected.substr(512, 100));

  // A read across the end is short but succeeds; at the end it returns nothing.
  ASSERT_TRUE(disk->Seek(kImageSize - 96));
  ASSERT_TRUE(disk->Read(buffer.data(), 512, got));
  EXPECT_EQ(got, 96u);
  EXPECT_EQ(std::string(buffer.data(), 96), expected.substr(kImageSize - 96));
  ASSERT_TRUE(disk->Read(buffer.data(), 512, got));
  EXPECT_EQ(got, 0u);

  // Seeking far past the end is allowed; reading there yields nothing.
  ASSERT_TRUE(disk->Seek(uint64_t{1} << 40));
  ASSERT_TRUE(disk->Read(buffer.data(), 512, got));
  EXPECT_EQ(got, 0u);

  // An offset beyond the signed 64-bit range lies "before the beginning".
  EXPECT_FALSE(disk->Seek(UINT64_MAX));
  EXPECT_EQ(disk->LastError(), kErrorNegativeSeek);

  // And the device stays usable after the failure.
  ASSERT_TRUE(disk->Seek(1000));
  ASSERT_TRUE(disk->Read(buffer.data(), 4, got));
  EXPECT_EQ(std::string(buffer.data(), 4), expected.substr(1000, 4));
}

TEST_F(DeviceTest, MappedVolumeAnswersTheQueryButCannotBeRead) {
  ErrorCode error = 0;
  auto volume = Open(u"\\\\.\\D:", error, DeviceAccess::kQueryOnly);
  ASSERT_TRUE(volume);
  char byte = 0;
  uint32_t got = 0;
  EXPECT_FALSE(volume->Read(&byte, 1, got));
  EXPECT_NE(volume->LastError(), kErrorSuccess);
}

TEST_F(DeviceTest, UnreadableImageIsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
  fs::permissions(image_, fs::perms::none);
  ErrorCode error = 0;
  EXPECT_FALSE(Open(u"\\\\.\\PhysicalDrive1", error));
  EXPECT_EQ(error, kErrorAccessDenied);
}

TEST(DeviceDirectoryTest, ExplicitDirectoryThenWinePrefixThenHome) {
  testing::ScopedEnvironment environment;
  environment.Set("SKERRY_DOSDEVICES", "/devs");
  environment.Set("WINEPREFIX", "/prefix");
  environment.Set("HOME", "/home/someone");
  EXPECT_EQ(DeviceDirectory(), "/devs");
  environment.Clear("SKERRY_DOSDEVICES");
  EXPECT_EQ(DeviceDirectory(), "/prefix/dosdevices");
  environment.Set("WINEPREFIX", "");
  EXPECT_EQ(DeviceDirectory(), "/home/someone/.wine/dosdevices");
}

}  // namespace
}  // namespace skerry

#endif  // _WIN32
