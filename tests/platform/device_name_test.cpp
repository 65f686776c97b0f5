#include "platform/device_name.h"

#include <gtest/gtest.h>

namespace skerry {
namespace {

TEST(DeviceNameTest, RecognizesPhysicalDrivesAndVolumes) {
  auto disk = ParseDeviceName(u"\\\\.\\PhysicalDrive1");
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->kind, DeviceName::Kind::kPhysicalDrive);
  EXPECT_EQ(disk->number, 1u);
  EXPECT_EQ(disk->digits, "1");

  auto large = ParseDeviceName(u"\\\\.\\PHYSICALDRIVE4294967295");
  ASSERT_TRUE(large);
  EXPECT_EQ(large->number, 4294967295u);

  auto leadingZero = ParseDeviceName(u"\\\\.\\physicaldrive012");
  ASSERT_TRUE(leadingZero);
  EXPECT_EQ(leadingZero->number, 12u);
  EXPECT_EQ(leadingZero->digits, "012");

  auto volume = ParseDeviceName(u"\\\\.\\D:");
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->kind, DeviceName::Kind::kVolume);
  EXPECT_EQ(volume->letter, 'd');
  EXPECT_EQ(ParseDeviceName(u"\\\\.\\z:")->letter, 'z');
}

TEST(DeviceNameTest, RejectsEverythingElse) {
  const char16_t* names[] = {
      u"",
      u"\\\\.\\",
      u"\\\\.\\PhysicalDrive",
      u"\\\\.\\PhysicalDrive<",           // device number 12 written as '0' + 12
      u"\\\\.\\PhysicalDrive4294967296",  // beyond 32 bits
      u"\\\\.\\PhysicalDrive12345678901",
      u"\\\\.\\PhysicalDrive1/../x",
      u"\\\\.\\PhysicalDrive-1",
      u"\\\\.\\1:",
      u"\\\\.\\/:",
      u"\\\\.\\\u00c9:",
      u"\\\\.\\DD:",
      u"\\\\.\\D:\\",
      u"\\\\?\\D:",
      u"D:",
      u"C:\\disk.img",
  };
  for (const char16_t* name : names) {
    EXPECT_FALSE(ParseDeviceName(name)) << std::u16string(name).size();
  }
}

}  // namespace
}  // namespace skerry
