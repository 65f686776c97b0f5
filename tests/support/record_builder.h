#pragma once
// Builds FILE records as NTFS stores them: header, update sequence applied
// (the strides' last bytes replaced by the sequence number), attributes
// resident or not, with names and run lists chosen by the test.

#include <cstdint>
#include <string>
#include <vector>

namespace skerry::test {

// One run to encode: its length in clusters and its first cluster; a sparse
// run has no offset field.
struct TestRun {
  uint64_t clusters = 0;
  int64_t lcn = 0;
  bool sparse = false;
};

// The shortest run list for the runs, with its end marker.
std::vector<uint8_t> EncodeRunList(const std::vector<TestRun>& runs);

class RecordBuilder {
 public:
  explicit RecordBuilder(uint32_t recordSize = 1024);

  RecordBuilder& InUse(bool inUse);
  // The header's directory flag (0x0002).
  RecordBuilder& DirectoryRecord(bool directory);
  // The header's sequence number, which references to the record carry.
  RecordBuilder& RecordSequence(uint16_t sequence);
  // Update sequence array offset and entry count (the sequence number plus
  // one entry per 512-byte stride); count 0 leaves the record without fix-ups.
  RecordBuilder& UpdateSequence(uint16_t offset, uint16_t count);
  RecordBuilder& SequenceNumber(uint16_t usn);

  RecordBuilder& StandardInformation(uint64_t modified, uint32_t attributes = 0,
                                     uint32_t valueSize = 72);
  RecordBuilder& FileName(const std::u16string& name, uint64_t parent = 5, uint32_t flags = 0,
                          uint64_t dataSize = 0, uint8_t nameType = 1);
  RecordBuilder& ResidentData(uint32_t size, const std::u16string& streamName = u"");
  RecordBuilder& NonResidentData(const std::vector<uint8_t>& runList, uint64_t dataSize,
                                 const std::u16string& streamName = u"");
  // Any resident attribute with the given value bytes.
  RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value,
                          const std::u16string& name = u"");
  // Bytes placed as they are where the next attribute would go.
  RecordBuilder& RawAttribute(const std::vector<uint8_t>& bytes);
  RecordBuilder& WithoutEndMarker();

  // The record as it lies on the disk.
  std::vector<uint8_t> Build() const;
  // Offset of the attribute added n-th (from 0), for tests that damage it.
  uint32_t AttributeOffset(size_t n) const { return attributeOffsets_.at(n); }

 private:
  void Append(const std::vector<uint8_t>& attribute);

  uint32_t recordSize_;
  bool inUse_ = true;
  bool directory_ = false;
  uint16_t sequence_ = 1;
  uint16_t usaOffset_ = 48;
  uint16_t usaCount_;
  // Right after the update sequence array that the record size calls for.
  uint32_t firstAttribute_;
  uint16_t usn_ = 1;
  bool endMarker_ = true;
  std::vector<uint8_t> attributes_;
  std::vector<uint32_t> attributeOffsets_;
};

// A file record with $STANDARD_INFORMATION, $FILE_NAME and a resident $DATA.
std::vector<uint8_t> MakeFileRecord(const std::u16string& name, uint64_t parent = 5,
                                    uint32_t size = 10, uint32_t recordSize = 1024);

}  // namespace skerry::test
