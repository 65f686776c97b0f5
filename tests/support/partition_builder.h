#pragma once
// Partition-table sectors and GUID partition tables for test disks.

#include <array>
#include <cstdint>
#include <vector>

#include "support/memory_disk.h"

namespace skerry::test {

struct TableEntry {
  uint8_t type = 0;
  uint32_t start = 0;
  uint32_t count = 0;
};

// A master or extended boot record with the entries in slots 0, 1, ...
std::array<uint8_t, 512> PartitionSector(const std::vector<TableEntry>& entries);

struct GptPartition {
  uint64_t firstLba = 0;
  uint64_t lastLba = 0;
  bool used = true;  // an unused entry has a zero type GUID
};

// Writes a protective master boot record, the GPT header at LBA 1 and its
// entry array at LBA 2, with correct CRCs; with a `backupLba`, the backup
// header there (the disk's last sector) and its array just before it.
void WriteGpt(DiskImage& disk, const std::vector<GptPartition>& partitions,
              uint32_t entryCount = 128, uint64_t backupLba = 0);

// Header field offsets, for tests that damage one.
inline constexpr size_t kGptHeaderCrc = 16;
inline constexpr size_t kGptArrayCrc = 88;

}  // namespace skerry::test
