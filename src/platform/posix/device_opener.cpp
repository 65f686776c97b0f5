// Opens Windows device names through the device directory (see
// device_directory.h): \\.\PhysicalDriveN is the entry physicaldriveN, \\.\X:
// the entry x::.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/device.h"
#include "platform/device_name.h"
#include "platform/posix/device_directory.h"
#include "platform/posix/errno_mapping.h"
#include "platform/posix/file_device.h"
#include "platform/posix/partition_numbering.h"

namespace skerry {
namespace {

constexpr const char* kSysfsRoot = "/sys";
constexpr const char* kPhysicalDrivePrefix = "physicaldrive";
constexpr uint32_t kSectorSize = 512;

// Decimal digits of a disk or partition number, as the device directory spells them.
bool ParseNumber(std::string_view digits, uint32_t& value) {
  if (digits.empty() || digits.size() > 10) return false;
  uint64_t number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  if (number > UINT32_MAX) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

bool ParsePhysicalDriveEntry(std::string_view name, uint32_t& disk) {
  std::string_view prefix = kPhysicalDrivePrefix;
  return name.starts_with(prefix) && ParseNumber(name.substr(prefix.size()), disk);
}

// "physicaldriveN/partitionP": how a volume inside a disk image is mapped. The
// link need not resolve; its text alone names disk N and partition P.
bool ParseMappingLink(std::string_view text, uint32_t& disk, uint32_t& partition) {
  constexpr std::string_view kSeparator = "/partition";
  size_t split = text.find(kSeparator);
  return split != std::string_view::npos && ParsePhysicalDriveEntry(text.substr(0, split), disk) &&
         ParseNumber(text.substr(split + kSeparator.size()), partition);
}

bool ReadLink(const std::string& path, std::string& text) {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) return false;
    if (static_cast<size_t>(length) < buffer.size()) {
      text.assign(buffer.data(), static_cast<size_t>(length));
      return true;
    }
    if (buffer.size() >= 65536) return false;
    buffer.resize(buffer.size() * 2);
  }
}

// The physicaldriveN entry whose block device is `disk`; the lowest N wins.
bool FindPhysicalDrive(const std::string& directory, dev_t disk, uint32_t& number,
                       std::string& entryPath) {
  struct CloseDirectory {
    void operator()(DIR* listing) const { ::closedir(listing); }
  };
  std::unique_ptr<DIR, CloseDirectory> listing(::opendir(directory.c_str()));
  if (!listing) return false;
  bool found = false;
  while (dirent* entry = ::readdir(listing.get())) {
    std::string name = entry->d_name;
    uint32_t candidate = 0;
    if (!ParsePhysicalDriveEntry(name, candidate)) continue;
    std::string path = directory + "/" + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISBLK(info.st_mode) || info.st_rdev != disk) {
      continue;
    }
    if (!found || candidate < number) {
      number = candidate;
      entryPath = path;
      found = true;
    }
  }
  return found;
}

// The device-number answer for a volume that is a partition block device.
void AnswerForBlockDevice(FileDevice& device, const std::string& directory, dev_t volume) {
  BlockPartition partition;
  ErrorCode error = FindBlockPartition(kSysfsRoot, major(volume), minor(volume), partition);
  if (error != kErrorSuccess) return device.SetDeviceNumberError(error);
  uint32_t diskNumber = 0;
  std::string diskPath;
  if (!FindPhysicalDrive(directory, makedev(partition.diskMajor, partition.diskMinor), diskNumber,
                         diskPath)) {
    return device.SetDeviceNumberError(kErrorNotSupported);
  }
  if (partition.linuxNumber == 0) return device.SetDeviceNumber(diskNumber, 0);

  int fd = ::open(diskPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return device.SetDeviceNumberError(ErrorFromErrno(errno));
  FileDevice disk(fd);
  uint8_t sector[kSectorSize];
  uint32_t got = 0;
  if (!disk.Read(sector, kSectorSize, got)) return device.SetDeviceNumberError(disk.LastError());
  if (got < kSectorSize) return device.SetDeviceNumberError(kErrorReadFault);
  uint32_t windowsNumber = 0;
  error = WindowsPartitionNumber(ByteView(sector, got), partition.linuxNumber, windowsNumber);
  if (error != kErrorSuccess) return device.SetDeviceNumberError(error);
  device.SetDeviceNumber(diskNumber, windowsNumber);
}

std::unique_ptr<BlockDevice> OpenPhysicalDrive(const std::string& directory, const DeviceName& name,
                                               ErrorCode& error) {
  std::string path = directory + "/" + kPhysicalDrivePrefix + name.digits;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = ErrorFromErrno(errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    error = kErrorAccessDenied;
    return nullptr;
  }
  auto device = std::make_unique<FileDevice>(fd);
  device->SetDeviceNumber(name.number, 0);  // a whole disk is partition 0 to Windows
  return device;
}

// Volumes are opened for reading only, whatever the access asked for: the
// device-number query needs no more, and Skerry never writes to a disk.
std::unique_ptr<BlockDevice> OpenVolume(const std::string& directory, const DeviceName& name,
                                        ErrorCode& error) {
  std::string path = directory + "/" + name.letter + "::";
  struct stat entry {};
  if (::lstat(path.c_str(), &entry) != 0) {
    error = ErrorFromErrno(errno);
    return nullptr;
  }

  std::string linkText;
  uint32_t disk = 0;
  uint32_t partition = 0;
  if (S_ISLNK(entry.st_mode) && ReadLink(path, linkText) &&
      ParseMappingLink(linkText, disk, partition)) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    auto device = std::make_unique<FileDevice>(fd, fd < 0 ? ErrorFromErrno(errno) : kErrorSuccess);
    device->SetDeviceNumber(disk, partition);
    return device;
  }

  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) {
    error = ErrorFromErrno(errno);
    return nullptr;
  }
  if (S_ISDIR(target.st_mode)) {
    error = kErrorAccessDenied;
    return nullptr;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  auto device = std::make_unique<FileDevice>(fd, fd < 0 ? ErrorFromErrno(errno) : kErrorSuccess);
  if (S_ISBLK(target.st_mode)) {
    AnswerForBlockDevice(*device, directory, target.st_rdev);
  } else {
    device->SetDeviceNumberError(kErrorNotSupported);  // a file holds no partition of a disk
  }
  return device;
}

class PosixDeviceOpener final : public DeviceOpener {
 public:
  // Every device opens for reading: Linux has no open without access, and
  // a query-only open reads nothing.
  std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess,
                                    ErrorCode& error) override {
    error = kErrorSuccess;
    std::optional<DeviceName> device = ParseDeviceName(name);
    if (!device) {
      error = kErrorFileNotFound;  // what Windows says for an unknown \\.\ name
      return nullptr;
    }
    std::string directory = DeviceDirectory();
    if (directory.empty()) {
      error = kErrorPathNotFound;
      return nullptr;
    }
    if (device->kind == DeviceName::Kind::kPhysicalDrive) {
      return OpenPhysicalDrive(directory, *device, error);
    }
    return OpenVolume(directory, *device, error);
  }
};

}  // namespace

DeviceOpener& SystemDeviceOpener() {
  static PosixDeviceOpener opener;
  return opener;
}

}  // namespace skerry
