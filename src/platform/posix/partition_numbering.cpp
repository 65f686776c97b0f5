#include "platform/posix/partition_numbering.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/mbr_partitions.h"

namespace skerry {
namespace {

constexpr uint32_t kPrimarySlots = 4;

// The first line of a small sysfs attribute file.
bool ReadAttribute(const std::string& path, std::string& value) {
  std::ifstream in(path);
  return static_cast<bool>(std::getline(in, value));
}

bool ParseUnsigned(const std::string& text, unsigned long& value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, 10);
  return end != nullptr && (*end == '\0' || *end == '\n') && value <= UINT32_MAX;
}

bool ParseMajorMinor(const std::string& text, unsigned& major, unsigned& minor) {
  return std::sscanf(text.c_str(), "%u:%u", &major, &minor) == 2;
}

}  // namespace

ErrorCode FindBlockPartition(const std::string& sysfsRoot, unsigned major, unsigned minor,
                             BlockPartition& partition) {
  std::string link =
      sysfsRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(link.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) return kErrorNotSupported;
  std::string device = resolved.get();

  std::string number;
  if (!ReadAttribute(device + "/partition", number)) {
    // No partition attribute: the volume is a whole disk without a partition table.
    partition = BlockPartition{major, minor, 0};
    return kErrorSuccess;
  }
  unsigned long linuxNumber = 0;
  if (!ParseUnsigned(number, linuxNumber) || linuxNumber == 0) return kErrorNotSupported;

  size_t slash = device.rfind('/');
  if (slash == std::string::npos || slash == 0) return kErrorNotSupported;
  std::string diskDev;
  unsigned diskMajor = 0;
  unsigned diskMinor = 0;
  if (!ReadAttribute(device.substr(0, slash) + "/dev", diskDev) ||
      !ParseMajorMinor(diskDev, diskMajor, diskMinor)) {
    return kErrorNotSupported;
  }
  partition = BlockPartition{diskMajor, diskMinor, static_cast<uint32_t>(linuxNumber)};
  return kErrorSuccess;
}

ErrorCode WindowsPartitionNumber(BlockDevice& disk, uint32_t linuxNumber,
                                 uint32_t& windowsNumber) {
  if (linuxNumber == 0) return kErrorNotSupported;
  MbrLayout layout;
  if (ErrorCode error = ReadMbrLayout(disk, layout)) return error;
  if (layout.guidProtective) {
    windowsNumber = linuxNumber;
    return kErrorSuccess;
  }
  // Linux gives no number to a logical partition of length 0.
  uint32_t logicalsLeft = linuxNumber > kPrimarySlots ? linuxNumber - kPrimarySlots : 0;
  for (size_t i = 0; i < layout.partitions.size(); ++i) {
    const MbrPartition& partition = layout.partitions[i];
    const bool match = partition.logical
                           ? partition.sectorCount != 0 && logicalsLeft != 0 && --logicalsLeft == 0
                           : partition.slot + 1 == linuxNumber;
    if (match) {
      windowsNumber = static_cast<uint32_t>(i + 1);
      return kErrorSuccess;
    }
  }
  return kErrorNotSupported;
}

}  // namespace skerry
