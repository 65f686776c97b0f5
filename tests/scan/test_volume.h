#pragma once
// A small NTFS volume for the scan's tests: a root directory (record 5), the
// records a test adds, free records in the gaps, on an in-memory disk that a
// fresh NtfsVolume mounts.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ntfs/ntfs_volume.h"
#include "ntfs/partition_entry.h"
#include "ntfs/partition_table.h"
#include "platform/bytes.h"
#include "support/memory_disk.h"
#include "support/record_builder.h"
#include "support/volume_builder.h"

namespace skerry::test {

inline constexpr char16_t kTestDisk[] = u"\\\\.\\PhysicalDrive1";
inline constexpr uint64_t kRootRecord = 5;
inline constexpr uint32_t kDirectoryFlag = 0x10000000;
inline constexpr uint32_t kArchive = 0x20;
inline constexpr uint64_t kSomeTime = 0x01D0000000000000;

inline std::vector<uint8_t> DirectoryRecord(const std::u16string& name, uint64_t parent,
                                            uint32_t recordSize = 1024) {
  return RecordBuilder(recordSize)
      .DirectoryRecord(true)
      .StandardInformation(kSomeTime, 0x10)
      .FileName(name, parent, kDirectoryFlag)
      .Build();
}

inline std::vector<uint8_t> PlainFileRecord(const std::u16string& name, uint64_t parent,
                                            uint32_t recordSize = 1024) {
  return RecordBuilder(recordSize)
      .StandardInformation(kSomeTime, kArchive)
      .FileName(name, parent, kArchive, 10)
      .ResidentData(10)
      .Build();
}

// An attribute list of one entry: the $FILE_NAME lies in record `holder`.
inline std::vector<uint8_t> NameListedIn(uint64_t holder) {
  std::vector<uint8_t> entry(32, 0);
  StoreLe32(entry.data(), 0x30);
  StoreLe16(entry.data() + 4, 32);
  StoreLe64(entry.data() + 16, holder);
  return entry;
}

// A directory record without a $FILE_NAME, whose list names `holder`.
inline std::vector<uint8_t> DirectoryNamedElsewhere(uint64_t holder) {
  return RecordBuilder()
      .DirectoryRecord(true)
      .StandardInformation(1, 0x10)
      .Resident(0x20, NameListedIn(holder))
      .Build();
}

// An extension record of `base` that holds a directory's $FILE_NAME.
inline std::vector<uint8_t> NameExtension(uint64_t base, const std::u16string& name) {
  std::vector<uint8_t> record = RecordBuilder().FileName(name, kRootRecord, kDirectoryFlag).Build();
  StoreLe64(record.data() + 32, base);
  return record;
}

class TestVolume {
 public:
  explicit TestVolume(VolumeLayout layout = {}) : layout_(layout), builder_(layout) {
    Directory(kRootRecord, u".", kRootRecord);
  }

  TestVolume& Directory(uint64_t record, const std::u16string& name, uint64_t parent) {
    return Record(record, DirectoryRecord(name, parent, layout_.recordSize));
  }
  TestVolume& File(uint64_t record, const std::u16string& name, uint64_t parent) {
    return Record(record, PlainFileRecord(name, parent, layout_.recordSize));
  }
  TestVolume& Record(uint64_t record, std::vector<uint8_t> bytes) {
    builder_.SetRecord(record, std::move(bytes));
    given_.insert(record);
    return *this;
  }

  // Builds the disk and a fresh, unmounted volume on it.
  NtfsVolume& Unmounted() {
    // Records that no test gave are free, as a formatted MFT's are.
    const uint64_t last = *given_.rbegin();
    for (uint64_t record = 1; record < last; ++record) {
      if (given_.count(record) == 0) {
        builder_.SetRecord(record, RecordBuilder(layout_.recordSize).InUse(false).Build());
      }
    }
    disk_ = builder_.Build();
    opener_.Add(kTestDisk, disk_);
    PartitionTable table;
    EXPECT_EQ(ReadPartitionTable(opener_, kTestDisk, table), kErrorSuccess);
    const std::vector<PartitionEntry>& list = table.partitions;
    partition_ = list.at(0);
    volume_ = std::make_unique<NtfsVolume>(opener_);
    return *volume_;
  }
  // Builds the disk and mounts a fresh volume on it, its MFT streamed to
  // `consumer`.
  ErrorCode Mount(MftRecordConsumer* consumer = nullptr) {
    Unmounted();
    return volume_->Mount(kTestDisk, partition_, u'\\', consumer);
  }

  VolumeBuilder& builder() { return builder_; }
  NtfsVolume& volume() { return *volume_; }
  DiskImage& disk() { return *disk_; }
  const PartitionEntry& partition() const { return partition_; }

 private:
  VolumeLayout layout_;
  VolumeBuilder builder_;
  std::set<uint64_t> given_;
  std::shared_ptr<DiskImage> disk_;
  MemoryOpener opener_;
  PartitionEntry partition_;
  std::unique_ptr<NtfsVolume> volume_;
};

}  // namespace skerry::test
