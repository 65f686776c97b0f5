#include "platform/posix/partition_numbering.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace skerry {
namespace {

constexpr uint64_t kPartitionTableOffset = 0x1BE;
constexpr uint64_t kEntrySize = 16;
constexpr uint64_t kTypeOffset = 4;
constexpr unsigned kPrimarySlots = 4;
constexpr uint8_t kGptProtective = 0xEE;

bool IsExtended(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }
bool IsCounted(uint8_t type) { return type != 0 && !IsExtended(type); }

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

ErrorCode WindowsPartitionNumber(ByteView firstSector, uint32_t linuxNumber,
                                 uint32_t& windowsNumber) {
  if (linuxNumber == 0) return kErrorNotSupported;
  uint8_t types[kPrimarySlots];
  try {
    for (unsigned i = 0; i < kPrimarySlots; ++i) {
      types[i] = firstSector.u8(kPartitionTableOffset + kEntrySize * i + kTypeOffset);
    }
  } catch (const ByteRangeError&) {
    return kErrorNotSupported;
  }

  for (uint8_t type : types) {
    if (type == kGptProtective) {
      windowsNumber = linuxNumber;
      return kErrorSuccess;
    }
  }

  uint32_t counted = 0;
  if (linuxNumber <= kPrimarySlots) {
    if (!IsCounted(types[linuxNumber - 1])) return kErrorNotSupported;
    for (unsigned i = 0; i < linuxNumber; ++i) counted += IsCounted(types[i]) ? 1 : 0;
    windowsNumber = counted;
    return kErrorSuccess;
  }
  for (uint8_t type : types) counted += IsCounted(type) ? 1 : 0;
  windowsNumber = counted + (linuxNumber - kPrimarySlots);
  return kErrorSuccess;
}

}  // namespace skerry
