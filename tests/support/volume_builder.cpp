#include "support/volume_builder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/bytes.h"
#include "platform/text.h"
#include "support/partition_builder.h"
#include "support/record_builder.h"

namespace skerry::test {

VolumeBuilder& VolumeBuilder::SetRecord(uint64_t number, std::vector<uint8_t> record) {
  // A record of NTFS 3.1 names its own number, as the volumes' records do.
  if (record.size() >= 0x30 && std::equal(record.begin(), record.begin() + 4, "FILE") &&
      ByteView(record.data(), record.size()).le16(4) >= 0x30) {
    StoreLe32(record.data() + 0x2C, static_cast<uint32_t>(number));
  }
  records_[number] = std::move(record);
  return *this;
}

VolumeBuilder& VolumeBuilder::SetRecordZero(std::vector<uint8_t> record) {
  records_[0] = std::move(record);
  return *this;
}

VolumeBuilder& VolumeBuilder::AddFiles(uint64_t count) {
  for (uint64_t k = 1; k <= count; ++k) {
    SetRecord(k, MakeFileRecord(Widen("file" + std::to_string(k)), 5, 10, layout_.recordSize));
  }
  return *this;
}

uint64_t VolumeBuilder::DataSize() const {
  if (layout_.mftDataSize) return *layout_.mftDataSize;
  const uint64_t last = records_.empty() ? 0 : records_.rbegin()->first;
  return (last + 1) * layout_.recordSize;
}

std::vector<MftRun> VolumeBuilder::Runs() const {
  if (!layout_.mftRuns.empty()) return layout_.mftRuns;
  const uint64_t clusters = (DataSize() + ClusterSize() - 1) / ClusterSize();
  return {MftRun{4, clusters}};
}

std::vector<uint8_t> VolumeBuilder::MftRecord() const {
  std::vector<TestRun> runs;
  for (const MftRun& run : Runs())
    runs.push_back(TestRun{run.clusters, static_cast<int64_t>(run.lcn)});
  return RecordBuilder(layout_.recordSize)
      .StandardInformation(0x01D0000000000000, 0x06)
      .FileName(u"$MFT", 5, 0x06, DataSize())
      .NonResidentData(EncodeRunList(runs), DataSize())
      .Build();
}

uint64_t VolumeBuilder::RecordOffset(uint64_t number) const {
  const uint64_t partition = uint64_t{layout_.startSector} * 512;
  uint64_t byte = number * layout_.recordSize;
  for (const MftRun& run : Runs()) {
    const uint64_t runBytes = run.clusters * ClusterSize();
    if (byte < runBytes) return partition + run.lcn * ClusterSize() + byte;
    byte -= runBytes;
  }
  throw std::out_of_range("record outside the MFT's runs");
}

std::shared_ptr<DiskImage> VolumeBuilder::Build() const {
  auto disk = std::make_shared<DiskImage>();
  disk->WriteSector(0, PartitionSector({{0x07, layout_.startSector, 0x100000}}));

  std::array<uint8_t, 512> boot{};
  const char oem[] = "\xEB\x52\x90NTFS    ";
  std::copy(oem, oem + 11, boot.begin());
  StoreLe16(boot.data() + 11, layout_.bytesPerSector);
  boot[13] = layout_.sectorsPerCluster;
  const std::vector<MftRun> runs = Runs();
  StoreLe64(boot.data() + 48, layout_.mftCluster.value_or(runs.front().lcn));
  boot[64] = layout_.clustersPerRecord;
  boot[510] = 0x55;
  boot[511] = 0xAA;
  disk->WriteSector(layout_.startSector, boot);

  // The whole of every run exists on the disk, zeroed where no record was given.
  const uint64_t partition = uint64_t{layout_.startSector} * 512;
  for (const MftRun& run : runs) {
    const uint64_t end = partition + (run.lcn + run.clusters) * ClusterSize();
    if (disk->bytes.size() < end) disk->bytes.resize(end);
  }
  const auto zero = records_.find(0);
  const std::vector<uint8_t> recordZero = zero != records_.end() ? zero->second : MftRecord();
  disk->Write(RecordOffset(0), recordZero);
  for (const auto& [number, record] : records_) {
    if (number != 0) disk->Write(RecordOffset(number), record);
  }
  return disk;
}

}  // namespace skerry::test
