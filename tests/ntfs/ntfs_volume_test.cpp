#include "ntfs/ntfs_volume.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ntfs/partition_table.h"
#include "ntfs/recording_consumer.h"
#include "platform/bytes.h"
#include "platform/text.h"
#include "support/memory_disk.h"
#include "support/record_builder.h"
#include "support/volume_builder.h"

namespace skerry {
namespace {

using test::DiskImage;
using test::EncodeRunList;
using test::MemoryOpener;
using test::MftRun;
using test::RecordBuilder;
using test::RecordingConsumer;
using test::VolumeBuilder;
using test::VolumeLayout;

constexpr char16_t kDisk[] = u"\\\\.\\PhysicalDrive1";

class NtfsVolumeTest : public ::testing::Test {
 protected:
  ErrorCode Mount(const VolumeBuilder& builder) {
    disk = builder.Build();
    opener.Add(kDisk, disk);
    PartitionTable table;
    EXPECT_EQ(ReadPartitionTable(opener, kDisk, table), kErrorSuccess);
    const std::vector<PartitionEntry>& list = table.partitions;
    entry = list.at(0);
    volume = std::make_unique<NtfsVolume>(opener);
    volume->SetDiagnosticStream(&diagnostics);
    consumer = RecordingConsumer();
    return volume->Mount(kDisk, entry, u'/', &consumer);
  }
  std::u16string NameAt(size_t number) { return consumer.names.at(number); }
  size_t Records() const {
    EXPECT_EQ(consumer.names.size(), volume->mftRecordCount());
    return consumer.names.size();
  }

  std::shared_ptr<DiskImage> disk;
  MemoryOpener opener;
  PartitionEntry entry;
  std::unique_ptr<NtfsVolume> volume;
  std::wostringstream diagnostics;
  RecordingConsumer consumer;
};

TEST_F(NtfsVolumeTest, MountLoadsTheWholeMft) {
  VolumeBuilder builder;
  builder.AddFiles(20);
  ASSERT_EQ(Mount(builder), kErrorSuccess);
  EXPECT_TRUE(volume->loaded());
  EXPECT_EQ(volume->separator(), u'/');
  EXPECT_EQ(volume->startSector(), 128u);
  EXPECT_EQ(volume->bytesPerSector(), 512u);
  EXPECT_EQ(volume->clusterSize(), 4096u);
  EXPECT_EQ(volume->recordSize(), 1024u);
  ASSERT_EQ(Records(), 21u);
  EXPECT_EQ(NameAt(0), u"$MFT");
  EXPECT_EQ(NameAt(20), u"file20");
  ASSERT_EQ(volume->mftRuns().size(), 1u);
  EXPECT_EQ(volume->mftRuns()[0].lcn.value, 4);
  EXPECT_EQ(volume->mftRuns()[0].byteLength, 6u * 4096);
  AttributeCounts expected{};
  // Record 0's, and every streamed record's, record 0 again among them.
  expected[1] = expected[3] = expected[8] = expected[15] = 22;
  EXPECT_EQ(volume->attributeCounts(), expected);
}

TEST_F(NtfsVolumeTest, RecordZeroIsReadAtTheMftCluster) {
  for (uint8_t clustersPerRecord : {0xF6, 0xF4}) {
    VolumeLayout layout;
    layout.clustersPerRecord = clustersPerRecord;
    layout.recordSize = clustersPerRecord == 0xF6 ? 1024 : 4096;
    layout.mftRuns = {MftRun{37, 4}};
    VolumeBuilder builder(layout);
    builder.AddFiles(3);
    ASSERT_EQ(Mount(builder), kErrorSuccess);
    EXPECT_EQ(volume->recordSize(), layout.recordSize);
    EXPECT_EQ(Records(), 4u);
    EXPECT_EQ(disk->reads.at(2).offset, 128u * 512 + 37 * 4096);
    EXPECT_EQ(disk->reads.at(2).requested, layout.recordSize);
  }
}

TEST_F(NtfsVolumeTest, MftInThreeRunsIsLoadedInOrder) {
  VolumeLayout layout;
  layout.mftRuns = {MftRun{40, 2}, MftRun{10, 3}, MftRun{60, 1}};
  VolumeBuilder builder(layout);
  builder.AddFiles(23);
  ASSERT_EQ(Mount(builder), kErrorSuccess);
  ASSERT_EQ(Records(), 24u);
  for (size_t k = 1; k < 24; ++k) {
    std::string name = "file";
    name += std::to_string(k);
    EXPECT_EQ(NameAt(k), Widen(name));
  }
  EXPECT_EQ(NameAt(8), u"file8");
  EXPECT_EQ(NameAt(23), u"file23");
  ASSERT_EQ(volume->mftRuns().size(), 3u);
  EXPECT_EQ(volume->mftRuns()[1].lcn.value, 10);
  EXPECT_EQ(volume->mftRuns()[2].lcn.value, 60);
  EXPECT_EQ(volume->mftRuns()[2].byteLength, 4096u);
}

// Record 0's counters plus those of the 40 records streamed, record 0 again
// among them: the volume report prints this sum.
TEST_F(NtfsVolumeTest, AttributeCountsAddEveryStreamedRecord) {
  VolumeBuilder builder;
  builder.AddFiles(39);
  ASSERT_EQ(Mount(builder), kErrorSuccess);
  ASSERT_EQ(Records(), 40u);
  EXPECT_EQ(volume->attributeCounts()[3], 41);
}

// ntfs-3g leaves the records of the MFT's last run past its data size zeroed;
// Windows formats them. Either way they are not part of the MFT, though the
// runs that record 0 lists for them still count as the MFT's fragments.
TEST_F(NtfsVolumeTest, RecordsPastTheDataSizeAreNotLoaded) {
  VolumeLayout layout;
  layout.mftRuns = {MftRun{4, 8}, MftRun{40, 2}};  // room for 40 records
  layout.mftDataSize = 18 * 1024;
  VolumeBuilder builder(layout);
  builder.AddFiles(39);
  ASSERT_EQ(Mount(builder), kErrorSuccess);
  EXPECT_EQ(Records(), 18u);
  EXPECT_EQ(NameAt(17), u"file17");
  ASSERT_EQ(volume->mftRuns().size(), 1u);
  EXPECT_EQ(volume->mftRuns()[0].byteLength, 5u * 4096);
  EXPECT_EQ(volume->mftListedRunCount(), 2u);
}

TEST_F(NtfsVolumeTest, RecordsWithoutNameOrTimesPresentZerosToTheConsumer) {
  VolumeBuilder builder;
  builder.AddFiles(2);
  builder.SetRecord(3, RecordBuilder().NonResidentData(EncodeRunList({{4, 100}}), 16000).Build());
  // A slot never written is a free record like any other, not damage.
  builder.SetRecord(4, std::vector<uint8_t>(1024, 0));
  ASSERT_EQ(Mount(builder), kErrorSuccess);
  const RecordingConsumer& filter = consumer;
  EXPECT_EQ(volume->mftLoadError(), kErrorSuccess);
  ASSERT_EQ(filter.names.size(), 5u);
  EXPECT_EQ(filter.standardInfos[4], StandardInfoBlock{});
  EXPECT_EQ(filter.fileNames[4], FileNameBlock{});
  EXPECT_EQ(filter.streamCounts[4], 0u);
  EXPECT_EQ(filter.names[2], u"file2");
  EXPECT_NE(filter.standardInfos[2], StandardInfoBlock{});
  EXPECT_EQ(filter.standardInfos[3], StandardInfoBlock{});
  // Only the data size that the record's own $DATA sets.
  FileNameBlock expected{};
  StoreLe64(expected.data() + kFnDataSize, 16000);
  EXPECT_EQ(filter.fileNames[3], expected);
  EXPECT_EQ(filter.streamCounts[3], 1u);
}

TEST_F(NtfsVolumeTest, RecordZeroMustBeTheMft) {
  VolumeBuilder builder;
  builder.AddFiles(4);
  builder.SetRecordZero(RecordBuilder()
                            .StandardInformation(1)
                            .FileName(u"$MFTMirr")
                            .NonResidentData(EncodeRunList({{2, 4}}), 5 * 1024)
                            .Build());
  EXPECT_EQ(Mount(builder), kErrorSuccess);

  builder.SetRecordZero(RecordBuilder()
                            .StandardInformation(1)
                            .FileName(u"$MFX")
                            .NonResidentData(EncodeRunList({{2, 4}}), 5 * 1024)
                            .Build());
  EXPECT_EQ(Mount(builder), kErrorBadDevice);
  EXPECT_FALSE(volume->loaded());
  EXPECT_EQ(disk->reads.size(), 3u) << "nothing read beyond record 0";

  std::vector<uint8_t> damaged = builder.MftRecord();
  StoreLe16(&damaged[6], 40);  // an update sequence reaching beyond the record
  builder.SetRecordZero(damaged);
  EXPECT_EQ(Mount(builder), kErrorDiskCorrupt);
}

TEST_F(NtfsVolumeTest, MountFailures) {
  VolumeBuilder builder;
  builder.AddFiles(4);
  ASSERT_EQ(Mount(builder), kErrorSuccess);

  std::vector<uint8_t> fat(512);
  std::copy_n("\xEB\x58\x90MSDOS5.0", 11, fat.begin());
  disk->WriteSector(128, fat);
  EXPECT_EQ(volume->Mount(kDisk, entry, u'\\', nullptr), kErrorInvalidDrive);

  disk = builder.Build();
  disk->faults.failReadAtOffset = 128 * 512;
  opener.Add(kDisk, disk);
  NtfsVolume failing(opener);
  EXPECT_EQ(failing.Mount(kDisk, entry, u'\\', nullptr), kErrorIoDevice);
  disk->faults.failReadAtOffset = 128 * 512 + 4 * 4096;
  EXPECT_EQ(failing.Mount(kDisk, entry, u'\\', nullptr), kErrorIoDevice);
  disk->faults.failReadAtOffset.reset();
  disk->bytes.resize(128 * 512 + 4 * 4096 + 100);  // record 0 cut short
  EXPECT_EQ(failing.Mount(kDisk, entry, u'\\', nullptr), kErrorHandleEof);

  NtfsVolume absent(opener);
  EXPECT_EQ(absent.Mount(u"\\\\.\\PhysicalDrive5", entry, u'\\', nullptr), kErrorFileNotFound);

  PartitionEntry far = entry;
  far.startBeyond32Bits = true;
  EXPECT_EQ(absent.Mount(kDisk, far, u'\\', nullptr), kErrorArithmeticOverflow);
}

TEST_F(NtfsVolumeTest, BadGeometryIsRefusedBeforeAnyMftRead) {
  VolumeLayout layout;
  layout.clustersPerRecord = 0x00;
  VolumeBuilder builder(layout);
  builder.AddFiles(1);
  EXPECT_EQ(Mount(builder), kErrorInvalidParameter);
  EXPECT_EQ(disk->reads.size(), 2u);
}

TEST_F(NtfsVolumeTest, SecondMountReusesTheDiskHandle) {
  VolumeBuilder builder;
  builder.AddFiles(2);
  ASSERT_EQ(Mount(builder), kErrorSuccess);
  BlockDevice* handle = volume->handle();
  const size_t opens = opener.opened().size();
  ASSERT_EQ(volume->Mount(u"\\\\.\\PhysicalDrive9", entry, u'\\', nullptr), kErrorSuccess);
  EXPECT_EQ(volume->handle(), handle);
  EXPECT_EQ(opener.opened().size(), opens);
}

// A damaged record 0 that claims terabytes of MFT must not make the loader
// allocate for what it claims.
TEST_F(NtfsVolumeTest, HostileMftSizeCostsOnlyWhatTheDiskHolds) {
  VolumeBuilder builder;
  builder.AddFiles(4);
  builder.SetRecordZero(
      RecordBuilder()
          .StandardInformation(1)
          .FileName(u"$MFT")
          .NonResidentData(EncodeRunList({{0xFFFFF, 4}, {0xFFFFF, 5}, {0xFFFFF, 6}}),
                           uint64_t{1} << 40)
          .Build());
  // The records up to the disk's end are kept, and the load tells of the end.
  EXPECT_EQ(Mount(builder), kErrorSuccess);
  EXPECT_EQ(volume->mftLoadError(), kErrorHandleEof);
  uint64_t returned = 0;
  for (const test::ReadCall& call : disk->reads) {
    EXPECT_LE(call.requested, std::max<uint64_t>(16 << 20, returned));
    returned += call.returned;
  }

  builder.SetRecordZero(
      RecordBuilder()
          .StandardInformation(1)
          .FileName(u"$MFT")
          .NonResidentData(EncodeRunList({{uint64_t{1} << 30, 4}}), uint64_t{1} << 40)
          .Build());
  // One run longer than a read can ask for (the MFT of a volume with
  // millions of files) is read in pieces, here up to the disk's end.
  EXPECT_EQ(Mount(builder), kErrorSuccess);
  EXPECT_EQ(volume->mftLoadError(), kErrorHandleEof);
  for (const test::ReadCall& call : disk->reads) EXPECT_LE(call.requested, 16u << 20);
}

// Damage anywhere in the boot sector or in record 0 ends the mount with a
// code; the loader never reads outside its buffers or follows a claim of the
// damaged bytes past what the disk holds (the sanitizer build checks).
TEST_F(NtfsVolumeTest, NoSingleByteChangeOfBootSectorOrRecordZeroBreaksTheMount) {
  VolumeBuilder builder;
  builder.AddFiles(7);
  const std::shared_ptr<DiskImage> sound = builder.Build();
  const uint64_t bootSector = 128 * 512;
  const uint64_t recordZero = builder.RecordOffset(0);
  RecordingConsumer all;
  entry.startSector = 128;
  int mounted = 0;
  for (uint64_t at : {bootSector, recordZero}) {
    for (uint64_t i = 0; i < 400; ++i) {
      for (uint8_t value : {0x00, 0x7F, 0xFF}) {
        disk = std::make_shared<DiskImage>(*sound);
        disk->bytes[at + i] ^= value == 0 ? disk->bytes[at + i] : value;
        opener.Add(kDisk, disk);
        NtfsVolume damaged(opener);
        damaged.SetDiagnosticStream(&diagnostics);
        const ErrorCode code = damaged.Mount(kDisk, entry, u'\\', i % 2 ? &all : nullptr);
        EXPECT_EQ(damaged.loaded(), code == kErrorSuccess);
        if (code == kErrorSuccess) {
          ++mounted;
          EXPECT_LE(damaged.mftRecordCount() * damaged.recordSize(), disk->bytes.size());
        }
      }
    }
  }
  EXPECT_GT(mounted, 1000) << "most changed bytes are in fields the reader does not use";
}

}  // namespace
}  // namespace skerry
