// Opens Windows device names through the device directory (see
// device_directory.h): \\.\PhysicalDriveN is the entry physicaldriveN, \\.\X:
// the entry x::. Any other name is a path, opened as it is, as CreateFileW
// opens a disk image by its file name. A failure leaves a line for the user
// that names the path and what was found there.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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
#include "platform/text.h"

namespace skerry {
namespace {

constexpr const char* kSysfsRoot = "/sys";
constexpr const char* kPhysicalDrivePrefix = "physicaldrive";

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

// What a path holds, in words, for the line that explains a failure.
std::string Describe(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return "a directory";
  if (S_ISFIFO(info.st_mode)) return "a FIFO";
  if (S_ISSOCK(info.st_mode)) return "a socket";
  if (S_ISCHR(info.st_mode)) return "a character device";
  if (S_ISBLK(info.st_mode)) return "a block device";
  return "a file";
}

std::string ReasonFromErrno(int error) {
  if (error == EACCES || error == EPERM) {
    return "permission denied (raw disks need root or membership of the disk group)";
  }
  return std::strerror(error);
}

// One place where every disk, volume and image is opened: a FIFO, socket or
// character device would block a read or never end, so it is refused at once
// (the open itself does not wait: O_NONBLOCK, cleared again for the reads).
// `what` names the path in the line that explains a failure.
int OpenReadOnly(const std::string& path, const std::string& what, ErrorCode& error,
                 std::string& detail) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int saved = errno;
    error = ErrorFromErrno(saved);
    struct stat info {};
    if (saved == ENXIO && ::stat(path.c_str(), &info) == 0) {
      detail = what + " is " + Describe(info) + ", not a disk or a disk image";
      error = kErrorNotSupported;
    } else {
      detail = what + ": " + ReasonFromErrno(saved);
    }
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) {
    ::close(fd);
    error = S_ISDIR(info.st_mode) ? kErrorAccessDenied : kErrorNotSupported;
    detail = what + " is " + Describe(info) + ", not a disk or a disk image";
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  error = kErrorSuccess;
  return fd;
}

class PosixDeviceOpener final : public DeviceOpener {
 public:
  // Every device opens for reading: Linux has no open without access, and
  // a query-only open reads nothing.
  std::unique_ptr<BlockDevice> Open(std::u16string_view name, DeviceAccess,
                                    ErrorCode& error) override {
    error = kErrorSuccess;
    detail_.clear();
    std::optional<DeviceName> device = ParseDeviceName(name);
    if (!device) {
      if (name.starts_with(u"\\\\.\\") || name.empty()) {
        error = kErrorFileNotFound;  // what Windows says for an unknown \\.\ name
        return nullptr;
      }
      return OpenPath(Utf16ToUtf8(name), error);
    }
    std::string origin;
    directory_ = DeviceDirectory(&origin);
    if (directory_.empty()) {
      error = kErrorPathNotFound;
      detail_ = "no device directory: SKERRY_DOSDEVICES and WINEPREFIX are not set and the "
                "home directory is unknown";
      return nullptr;
    }
    // The code stays what opening an entry inside it would give.
    struct stat info {};
    const bool found = ::stat(directory_.c_str(), &info) == 0;
    if (!found || !S_ISDIR(info.st_mode)) {
      error = found ? kErrorPathNotFound : ErrorFromErrno(errno);
      detail_ = "no device directory " + directory_ + " (looked in " + origin +
                "); map a drive for one run with x:=IMAGE or x:=IMAGE@P";
      return nullptr;
    }
    if (device->kind == DeviceName::Kind::kPhysicalDrive) {
      return OpenPhysicalDrive(*device, error);
    }
    return OpenVolume(*device, error);
  }

  std::u16string FailureDetail() const override { return Utf8ToUtf16(detail_); }

 private:
  // "x:: in DIR", and where a link leads.
  std::string EntryName(const std::string& entry) const { return entry + " in " + directory_; }

  // Explains why `path`, an entry of the device directory, could not be
  // reached: it is missing, or it is a link whose target does not exist.
  void ExplainMissingEntry(const std::string& entry, const std::string& path) {
    struct stat link {};
    std::string target;
    if (::lstat(path.c_str(), &link) != 0) {
      detail_ = errno == ENOENT ? "no entry " + EntryName(entry)
                                : EntryName(entry) + ": " + ReasonFromErrno(errno);
    } else if (S_ISLNK(link.st_mode) && ReadLink(path, target)) {
      detail_ = EntryName(entry) + " links to " + target + ", which does not exist";
    } else {
      detail_ = EntryName(entry) + ": " + ReasonFromErrno(errno);
    }
  }

  std::unique_ptr<BlockDevice> OpenPath(const std::string& path, ErrorCode& error) {
    int fd = OpenReadOnly(path, path, error, detail_);
    if (fd < 0) return nullptr;
    return std::make_unique<FileDevice>(fd);  // a path is a disk: its device-number query fails
  }

  std::unique_ptr<BlockDevice> OpenPhysicalDrive(const DeviceName& name, ErrorCode& error) {
    const std::string entry = kPhysicalDrivePrefix + name.digits;
    const std::string path = directory_ + "/" + entry;
    int fd = OpenReadOnly(path, EntryName(entry), error, detail_);
    if (fd < 0) {
      if (error == kErrorFileNotFound) ExplainMissingEntry(entry, path);
      return nullptr;
    }
    auto device = std::make_unique<FileDevice>(fd);
    device->SetDeviceNumber(name.number, 0);  // a whole disk is partition 0 to Windows
    return device;
  }

  // The device-number answer for a volume that is a partition block device.
  void AnswerForBlockDevice(FileDevice& device, const std::string& entry, dev_t volume) {
    BlockPartition partition;
    ErrorCode error = FindBlockPartition(kSysfsRoot, major(volume), minor(volume), partition);
    if (error != kErrorSuccess) {
      detail_ = EntryName(entry) + " leads to a block device that sysfs does not describe";
      return device.SetDeviceNumberError(error);
    }
    uint32_t diskNumber = 0;
    std::string diskPath;
    if (!FindPhysicalDrive(directory_, makedev(partition.diskMajor, partition.diskMinor),
                           diskNumber, diskPath)) {
      detail_ = EntryName(entry) + " leads to a partition of block device " +
                std::to_string(partition.diskMajor) + ":" + std::to_string(partition.diskMinor) +
                ", and no physicaldriveN entry leads to that disk";
      return device.SetDeviceNumberError(kErrorNotSupported);
    }
    if (partition.linuxNumber == 0) return device.SetDeviceNumber(diskNumber, 0);

    std::string diskDetail;
    int fd = OpenReadOnly(diskPath, diskPath, error, diskDetail);
    if (fd < 0) {
      detail_ = diskDetail;
      return device.SetDeviceNumberError(error);
    }
    FileDevice disk(fd);
    uint32_t windowsNumber = 0;
    error = WindowsPartitionNumber(disk, partition.linuxNumber, windowsNumber);
    if (error != kErrorSuccess) {
      detail_ = EntryName(entry) + " leads to Linux partition " +
                std::to_string(partition.linuxNumber) + " of " + diskPath +
                ", which Windows' partition list does not hold";
      return device.SetDeviceNumberError(error);
    }
    device.SetDeviceNumber(diskNumber, windowsNumber);
  }

  // Volumes are opened for reading only, whatever the access asked for: the
  // device-number query needs no more, and Skerry never writes to a disk.
  std::unique_ptr<BlockDevice> OpenVolume(const DeviceName& name, ErrorCode& error) {
    const std::string entry = std::string(1, name.letter) + "::";
    const std::string path = directory_ + "/" + entry;
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
      error = ErrorFromErrno(errno);
      ExplainMissingEntry(entry, path);
      return nullptr;
    }

    std::string linkText;
    uint32_t disk = 0;
    uint32_t partition = 0;
    if (S_ISLNK(link.st_mode) && ReadLink(path, linkText) &&
        ParseMappingLink(linkText, disk, partition)) {
      // The link names its disk and partition; it need not resolve, and is
      // read only if it does.
      ErrorCode unreadable = kErrorSuccess;
      std::string ignored;
      int fd = OpenReadOnly(path, path, unreadable, ignored);
      auto device = std::make_unique<FileDevice>(fd, fd < 0 ? unreadable : kErrorSuccess);
      device->SetDeviceNumber(disk, partition);
      return device;
    }

    int fd = OpenReadOnly(path, EntryName(entry), error, detail_);
    if (fd < 0) {
      if (error == kErrorFileNotFound) ExplainMissingEntry(entry, path);
      return nullptr;
    }
    struct stat target {};
    ::fstat(fd, &target);
    auto device = std::make_unique<FileDevice>(fd);
    if (S_ISBLK(target.st_mode)) {
      AnswerForBlockDevice(*device, entry, target.st_rdev);
    } else {
      // A file holds no partition of a disk. It may hold a volume by itself,
      // which the caller can tell from its first sector; if it does not, this
      // says what to do instead.
      const std::string shown = S_ISLNK(link.st_mode) ? linkText : path;
      detail_ = EntryName(entry) + " leads to the file " + shown +
                ", not a partition: link " + entry + " to physicaldriveN/partitionP, or use " +
                std::string(1, name.letter) + ":=" + shown + "@P";
      device->SetDeviceNumberError(kErrorNotSupported);
    }
    return device;
  }

  std::string directory_;
  std::string detail_;
};

}  // namespace

DeviceOpener& SystemDeviceOpener() {
  static PosixDeviceOpener opener;
  return opener;
}

}  // namespace skerry
