#include "support/record_builder.h"

#include <stdexcept>

#include "platform/bytes.h"

namespace skerry::test {
namespace {

void PutName(std::vector<uint8_t>& bytes, size_t at, const std::u16string& name) {
  for (size_t i = 0; i < name.size(); ++i) StoreLe16(bytes.data() + at + 2 * i, name[i]);
}

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

unsigned UnsignedWidth(uint64_t value) {
  unsigned width = 1;
  while (width < 8 && (value >> (8 * width)) != 0) ++width;
  return width;
}

unsigned SignedWidth(int64_t value) {
  for (unsigned width = 1; width < 8; ++width) {
    const int64_t low = -(int64_t{1} << (8 * width - 1));
    const int64_t high = (int64_t{1} << (8 * width - 1)) - 1;
    if (value >= low && value <= high) return width;
  }
  return 8;
}

}  // namespace

std::vector<uint8_t> EncodeRunList(const std::vector<TestRun>& runs) {
  std::vector<uint8_t> bytes;
  int64_t previous = 0;
  for (const TestRun& run : runs) {
    const unsigned lengthWidth = UnsignedWidth(run.clusters);
    const int64_t offset = run.lcn - previous;
    const unsigned offsetWidth = run.sparse ? 0 : SignedWidth(offset);
    bytes.push_back(static_cast<uint8_t>(offsetWidth << 4 | lengthWidth));
    for (unsigned i = 0; i < lengthWidth; ++i) bytes.push_back(uint8_t(run.clusters >> (8 * i)));
    for (unsigned i = 0; i < offsetWidth; ++i) {
      bytes.push_back(uint8_t(static_cast<uint64_t>(offset) >> (8 * i)));
    }
    if (!run.sparse) previous = run.lcn;
  }
  bytes.push_back(0);
  return bytes;
}

RecordBuilder::RecordBuilder(uint32_t recordSize)
    : recordSize_(recordSize),
      usaCount_(static_cast<uint16_t>(recordSize / 512 + 1)),
      firstAttribute_(static_cast<uint32_t>(Align8(usaOffset_ + 2 * usaCount_))) {}

RecordBuilder& RecordBuilder::InUse(bool inUse) {
  inUse_ = inUse;
  return *this;
}

RecordBuilder& RecordBuilder::DirectoryRecord(bool directory) {
  directory_ = directory;
  return *this;
}

RecordBuilder& RecordBuilder::RecordSequence(uint16_t sequence) {
  sequence_ = sequence;
  return *this;
}

RecordBuilder& RecordBuilder::UpdateSequence(uint16_t offset, uint16_t count) {
  usaOffset_ = offset;
  usaCount_ = count;
  return *this;
}

RecordBuilder& RecordBuilder::SequenceNumber(uint16_t usn) {
  usn_ = usn;
  return *this;
}

void RecordBuilder::Append(const std::vector<uint8_t>& attribute) {
  attributeOffsets_.push_back(static_cast<uint32_t>(firstAttribute_ + attributes_.size()));
  attributes_.insert(attributes_.end(), attribute.begin(), attribute.end());
}

RecordBuilder& RecordBuilder::Resident(uint32_t type, const std::vector<uint8_t>& value,
                                       const std::u16string& name) {
  const size_t nameOffset = 24;
  const size_t valueOffset = Align8(nameOffset + 2 * name.size());
  std::vector<uint8_t> bytes(Align8(valueOffset + value.size()));
  StoreLe32(bytes.data(), type);
  StoreLe32(bytes.data() + 4, static_cast<uint32_t>(bytes.size()));
  bytes[8] = 0;
  bytes[9] = static_cast<uint8_t>(name.size());
  StoreLe16(bytes.data() + 10, static_cast<uint16_t>(nameOffset));
  StoreLe32(bytes.data() + 16, static_cast<uint32_t>(value.size()));
  StoreLe16(bytes.data() + 20, static_cast<uint16_t>(valueOffset));
  PutName(bytes, nameOffset, name);
  std::copy(value.begin(), value.end(), bytes.begin() + static_cast<ptrdiff_t>(valueOffset));
  Append(bytes);
  return *this;
}

RecordBuilder& RecordBuilder::StandardInformation(uint64_t modified, uint32_t attributes,
                                                  uint32_t valueSize) {
  std::vector<uint8_t> value(valueSize);
  if (valueSize >= 48) {
    StoreLe64(value.data(), modified - 1);
    StoreLe64(value.data() + 8, modified);
    StoreLe64(value.data() + 16, modified + 1);
    StoreLe64(value.data() + 24, modified + 2);
    StoreLe32(value.data() + 32, attributes);
  }
  return Resident(0x10, value);
}

RecordBuilder& RecordBuilder::FileName(const std::u16string& name, uint64_t parent, uint32_t flags,
                                       uint64_t dataSize, uint8_t nameType) {
  std::vector<uint8_t> value(66 + 2 * name.size());
  StoreLe64(value.data(), parent);
  StoreLe64(value.data() + 40, (dataSize + 4095) / 4096 * 4096);
  StoreLe64(value.data() + 48, dataSize);
  StoreLe32(value.data() + 56, flags);
  value[64] = static_cast<uint8_t>(name.size());
  value[65] = nameType;
  PutName(value, 66, name);
  return Resident(0x30, value);
}

RecordBuilder& RecordBuilder::ResidentData(uint32_t size, const std::u16string& streamName) {
  std::vector<uint8_t> value(size);
  for (uint32_t i = 0; i < size; ++i) value[i] = static_cast<uint8_t>('a' + i % 26);
  return Resident(0x80, value, streamName);
}

RecordBuilder& RecordBuilder::NonResidentData(const std::vector<uint8_t>& runList,
                                              uint64_t dataSize, const std::u16string& streamName) {
  const size_t nameOffset = 64;
  const size_t runListOffset = Align8(nameOffset + 2 * streamName.size());
  std::vector<uint8_t> bytes(Align8(runListOffset + runList.size()));
  StoreLe32(bytes.data(), 0x80);
  StoreLe32(bytes.data() + 4, static_cast<uint32_t>(bytes.size()));
  bytes[8] = 1;
  bytes[9] = static_cast<uint8_t>(streamName.size());
  StoreLe16(bytes.data() + 10, static_cast<uint16_t>(nameOffset));
  StoreLe16(bytes.data() + 32, static_cast<uint16_t>(runListOffset));
  StoreLe64(bytes.data() + 40, dataSize);
  StoreLe64(bytes.data() + 48, dataSize);
  StoreLe64(bytes.data() + 56, dataSize);
  PutName(bytes, nameOffset, streamName);
  std::copy(runList.begin(), runList.end(), bytes.begin() + static_cast<ptrdiff_t>(runListOffset));
  Append(bytes);
  return *this;
}

RecordBuilder& RecordBuilder::RawAttribute(const std::vector<uint8_t>& bytes) {
  Append(bytes);
  return *this;
}

RecordBuilder& RecordBuilder::WithoutEndMarker() {
  endMarker_ = false;
  return *this;
}

std::vector<uint8_t> RecordBuilder::Build() const {
  std::vector<uint8_t> record(recordSize_);
  const size_t end = firstAttribute_ + attributes_.size() + (endMarker_ ? 8 : 0);
  if (end > recordSize_) throw std::length_error("attributes do not fit the record");
  std::copy(attributes_.begin(), attributes_.end(), record.begin() + firstAttribute_);
  if (endMarker_) StoreLe32(record.data() + firstAttribute_ + attributes_.size(), 0xFFFFFFFF);

  record[0] = 'F';
  record[1] = 'I';
  record[2] = 'L';
  record[3] = 'E';
  StoreLe16(record.data() + 4, usaOffset_);
  StoreLe16(record.data() + 6, usaCount_);
  StoreLe16(record.data() + 16, sequence_);
  StoreLe16(record.data() + 18, 1);  // link count
  StoreLe16(record.data() + 20, static_cast<uint16_t>(firstAttribute_));
  StoreLe16(record.data() + 22, (inUse_ ? 1 : 0) | (directory_ ? 2 : 0));
  StoreLe32(record.data() + 24, static_cast<uint32_t>(end));
  StoreLe32(record.data() + 28, recordSize_);

  // On the disk the last two bytes of each stride hold the sequence number;
  // their real contents wait in the update sequence array.
  if (usaCount_ > 0 && usaOffset_ + 2u * usaCount_ <= recordSize_) {
    StoreLe16(record.data() + usaOffset_, usn_);
    for (uint32_t i = 1; i < usaCount_ && 512 * i <= recordSize_; ++i) {
      record[usaOffset_ + 2 * i] = record[512 * i - 2];
      record[usaOffset_ + 2 * i + 1] = record[512 * i - 1];
      StoreLe16(record.data() + 512 * i - 2, usn_);
    }
  }
  return record;
}

std::vector<uint8_t> MakeFileRecord(const std::u16string& name, uint64_t parent, uint32_t size,
                                    uint32_t recordSize) {
  return RecordBuilder(recordSize)
      .StandardInformation(0x01D0000000000000)
      .FileName(name, parent, 0x20, size)
      .ResidentData(size)
      .Build();
}

}  // namespace skerry::test
