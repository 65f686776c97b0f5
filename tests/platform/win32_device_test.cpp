#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/device.h"

namespace skerry {
namespace {

namespace fs = std::filesystem;

// A volume is opened only for its device number: with no access to its data,
// so that read-only media and write blockers do not refuse the open, and
// sharing reading and writing with everyone else.
TEST(Win32Device, QueryOnlyOpenAsksForNoDataAccess) {
  const fs::path file = fs::temp_directory_path() / "skerry-query-only.bin";
  std::ofstream(file, std::ios::binary) << "bytes";
  const std::u16string name = file.u16string();

  ErrorCode error = 0;
  auto queried = SystemDeviceOpener().Open(name, DeviceAccess::kQueryOnly, error);
  ASSERT_TRUE(queried) << error;
  char buffer[8] = {};
  uint32_t got = 0;
  EXPECT_FALSE(queried->Read(buffer, sizeof buffer, got));
  EXPECT_EQ(queried->LastError(), ErrorCode{ERROR_ACCESS_DENIED});

  // Others may still write while the query's handle is open.
  HANDLE writer = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << GetLastError();
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

  auto reader = SystemDeviceOpener().Open(name, DeviceAccess::kRead, error);
  ASSERT_TRUE(reader) << error;
  ASSERT_TRUE(reader->Read(buffer, sizeof buffer, got));
  EXPECT_EQ(std::string(buffer, got), "bytes");

  queried.reset();
  reader.reset();
  fs::remove(file);
}

}  // namespace
}  // namespace skerry

#endif
