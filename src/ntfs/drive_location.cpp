#include "ntfs/drive_location.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ntfs/boot_sector.h"
#include "ntfs/device_number.h"
#include "ntfs/drive_names.h"
#include "ntfs/file_system_name.h"
#include "ntfs/partition_table.h"
#include "ntfs/volume_label.h"
#include "platform/text.h"

namespace skerry {
namespace {

std::u16string Number(uint64_t value) { return Widen(std::to_string(value)); }

std::u16string Hex(uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof(text), "0x%02X", value);
  return Widen(text);
}

std::u16string Size(uint64_t sectors) {
  const uint64_t bytes = sectors * kDiskSectorSize;
  if (bytes >= 10 * 1024 * 1024) return Number(bytes / (1024 * 1024)) + u" MiB";
  return Number(bytes / 1024) + u" KiB";
}

// Up to kFileSystemProbeBytes from `offset`; fewer where the disk ends.
std::vector<uint8_t> ReadStart(BlockDevice& disk, uint64_t offset) {
  std::vector<uint8_t> bytes(kFileSystemProbeBytes);
  size_t have = 0;
  if (!disk.Seek(offset)) return {};
  while (have < bytes.size()) {
    uint32_t got = 0;
    if (!disk.Read(bytes.data() + have, static_cast<uint32_t>(bytes.size() - have), got) ||
        got == 0) {
      break;
    }
    have += got;
  }
  bytes.resize(have);
  return bytes;
}

bool IsNtfsVolume(const std::vector<uint8_t>& start) {
  VolumeGeometry geometry;
  return ReadGeometry(ByteView(start.data(), start.size()), geometry) == kErrorSuccess;
}

std::u16string FileSystemAt(BlockDevice& disk, const PartitionEntry& entry) {
  if (entry.startBeyond32Bits || entry.sectorCount == 0) return {};
  const std::vector<uint8_t> start = ReadStart(disk, uint64_t{entry.startSector} * kDiskSectorSize);
  return Widen(NameFileSystem(ByteView(start.data(), start.size())));
}

std::u16string TypeText(const PartitionTable& table, const PartitionEntry& entry) {
  return table.guid ? u"GPT" : u"type " + Hex(entry.type);
}

// "partition 3 of \\.\PhysicalDrive1"
std::u16string PartitionName(uint32_t number, std::u16string_view disk) {
  return u"partition " + Number(number) + u" of " + std::u16string(disk);
}

std::u16string Partitions(size_t count) {
  return Number(count) + (count == 1 ? u" partition" : u" partitions");
}

// Picks partition `number` (from 1) of `table`, or says why there is none.
ErrorCode SelectPartition(const PartitionTable& table, uint32_t number, std::u16string_view disk,
                          DriveLocation& location, std::u16string& detail) {
  if (number == 0 || number > table.partitions.size()) {
    detail = PartitionName(number, disk) + u" does not exist: " +
             (number == 0 ? u"partitions are numbered from 1, and " : u"") + u"the disk has " +
             Partitions(table.partitions.size());
    if (table.chainEnd == kErrorSuccess) return kErrorNotFound;
    const std::u16string sector = u" at sector " + Number(table.chainEndSector);
    detail += table.chainEnd == kErrorDiskCorrupt ? u" before its chain of extended boot records "
                                                    u"loops back to an earlier record" + sector
              : table.chainEnd == kErrorReadFault
                  ? u" before its chain of extended boot records leads past the disk's end" + sector
                  : u" before its chain of extended boot records fails to read" + sector;
    return table.chainEnd;
  }
  const PartitionEntry& entry = table.partitions[number - 1];
  if (entry.sectorCount == 0) {
    detail = PartitionName(number, disk) + u" has length 0 and holds no volume";
    return kErrorInvalidDrive;
  }
  location.entry = entry;
  location.partitionNumber = number;
  return kErrorSuccess;
}

// The drive's own volume device, through the device-number query.
ErrorCode LocateThroughVolume(DeviceOpener& opener, std::u16string_view volumeName,
                              DriveLocation& location, std::u16string& detail) {
  uint32_t deviceNumber = 0;
  uint32_t partitionIndex = 0;
  if (ErrorCode error = GetDeviceNumber(opener, volumeName, deviceNumber, partitionIndex)) {
    detail = opener.FailureDetail();
    // A volume device that is no partition of a disk (a file in the device
    // directory) is the volume itself when it starts with an NTFS boot sector.
    if (error == kErrorNotSupported) {
      ErrorCode ignored = kErrorSuccess;
      std::unique_ptr<BlockDevice> volume = opener.Open(volumeName, DeviceAccess::kRead, ignored);
      if (volume != nullptr && IsNtfsVolume(ReadStart(*volume, 0))) {
        location.diskName = volumeName;
        location.entry = PartitionEntry{};
        location.entry.sectorCount = UINT32_MAX;
        detail.clear();
        return kErrorSuccess;
      }
    }
    return error;
  }
  location.diskName = PhysicalDriveName(deviceNumber);
  PartitionTable table;
  if (ErrorCode error = ReadPartitionTable(opener, location.diskName, table)) {
    detail = opener.FailureDetail();
    return error;
  }
  return SelectPartition(table, partitionIndex + 1, location.diskName, location, detail);
}

// One line per partition of a disk mapped without "@P", for the user to choose from.
std::u16string ListPartitions(BlockDevice& disk, const PartitionTable& table) {
  std::u16string list;
  for (size_t i = 0; i < table.partitions.size(); ++i) {
    const PartitionEntry& entry = table.partitions[i];
    const std::u16string fileSystem = FileSystemAt(disk, entry);
    list += u"\n  @" + Number(i + 1) + u"  start sector " + Number(entry.startSector) + u", " +
            Size(entry.sectorCount) + u", " + TypeText(table, entry) + u", " +
            (fileSystem.empty() ? u"unknown contents" : fileSystem);
    if (fileSystem == u"NTFS") {
      const std::u16string label =
          ReadVolumeLabel(disk, uint64_t{entry.startSector} * kDiskSectorSize);
      if (!label.empty()) list += u" \"" + label + u"\"";
    }
  }
  return list;
}

ErrorCode LocateMapped(DeviceOpener& opener, const DriveMapping& mapping, DriveLocation& location,
                       std::u16string& detail) {
  const std::u16string path(mapping.path);
  const std::u16string shown = std::u16string(1, mapping.letter) + u":=" + path;
  if (path.empty()) {
    detail = shown + u" names no disk, image or device";
    return kErrorInvalidParameter;
  }
  ErrorCode error = kErrorSuccess;
  std::unique_ptr<BlockDevice> disk = opener.Open(path, DeviceAccess::kRead, error);
  if (disk == nullptr) {
    detail = opener.FailureDetail();
    if (detail.empty()) {
      detail = u"cannot open " + path +
               (error == kErrorAccessDenied ? u" (raw disks need Administrator rights)" : u"");
    }
    return error;
  }
  location.diskName = path;

  const std::vector<uint8_t> start = ReadStart(*disk, 0);
  const std::string fileSystem = NameFileSystem(ByteView(start.data(), start.size()));
  if (IsNtfsVolume(start)) {
    if (mapping.partition) {
      detail = path + u" is an NTFS volume by itself, with no partition table: leave out @" +
               Number(*mapping.partition);
      return kErrorInvalidParameter;
    }
    location.entry = PartitionEntry{};
    location.entry.sectorCount = UINT32_MAX;
    return kErrorSuccess;
  }
  // A FAT or exFAT boot sector is a volume too, not a master boot record.
  const bool bootSector = fileSystem.starts_with("FAT") || fileSystem == "exFAT";
  PartitionTable table;
  if (!bootSector) {
    if (ErrorCode tableError = ReadPartitionTable(*disk, table)) {
      detail = u"the partition table of " + path + u" cannot be read" +
               (table.guid ? u": its GUID partition table and the "
                                                        u"backup of it are both damaged"
                                                      : u"");
      return tableError;
    }
  }
  if (table.partitions.empty()) {
    detail = path + (fileSystem.empty() ? u" holds neither a partition table nor an NTFS volume"
                                        : u" holds " + Widen(fileSystem) + u", not NTFS");
    return kErrorInvalidDrive;
  }
  if (mapping.partition) return SelectPartition(table, *mapping.partition, path, location, detail);

  std::vector<uint32_t> ntfs;
  for (size_t i = 0; i < table.partitions.size(); ++i) {
    const PartitionEntry& entry = table.partitions[i];
    if (entry.startBeyond32Bits || entry.sectorCount == 0) continue;
    if (IsNtfsVolume(ReadStart(*disk, uint64_t{entry.startSector} * kDiskSectorSize))) {
      ntfs.push_back(static_cast<uint32_t>(i + 1));
    }
  }
  if (ntfs.size() == 1) return SelectPartition(table, ntfs[0], path, location, detail);
  if (ntfs.empty()) {
    detail = u"none of the " + Partitions(table.partitions.size()) + u" of " + path +
             u" holds an NTFS volume:" + ListPartitions(*disk, table);
    return kErrorInvalidDrive;
  }
  detail = path + u" holds " + Number(ntfs.size()) + u" NTFS volumes; choose one with " + shown +
           u"@P:" + ListPartitions(*disk, table);
  return kErrorInvalidParameter;
}

}  // namespace

ErrorCode LocateDrive(DeviceOpener& opener, std::u16string_view argument,
                      std::u16string_view volumeName, DriveLocation& location,
                      std::u16string& detail) {
  location = DriveLocation{};
  detail.clear();
  if (std::optional<DriveMapping> mapping = ParseDriveMapping(argument)) {
    return LocateMapped(opener, *mapping, location, detail);
  }
  return LocateThroughVolume(opener, volumeName, location, detail);
}

std::u16string DescribeNotNtfs(DeviceOpener& opener, const DriveLocation& location) {
  ErrorCode error = kErrorSuccess;
  std::unique_ptr<BlockDevice> disk = opener.Open(location.diskName, DeviceAccess::kRead, error);
  if (disk == nullptr) return {};
  const std::u16string fileSystem = FileSystemAt(*disk, location.entry);
  const std::u16string contents =
      fileSystem.empty() ? u"no file system that Skerry recognises" : fileSystem;
  if (location.partitionNumber == 0) return location.diskName + u" holds " + contents + u", not NTFS";
  const std::u16string type =
      location.entry.type == 0 ? u"" : u" (type " + Hex(location.entry.type) + u")";
  return PartitionName(location.partitionNumber, location.diskName) + type + u" holds " + contents +
         u", not NTFS";
}

}  // namespace skerry
