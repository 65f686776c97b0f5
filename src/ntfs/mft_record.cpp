#include "ntfs/mft_record.h"

#include <algorithm>
#include <cstring>

#include "ntfs/file_reference.h"
#include "ntfs/record_header.h"
#include "ntfs/run_list.h"
#include "platform/bytes.h"
#include "platform/console.h"

namespace skerry {
namespace {

constexpr size_t kMinFileNameValue = kFnName;

// $STANDARD_INFORMATION and $FILE_NAME are resident in every sound record.
// One that is not is damage, and reading it from the disk would let a
// hostile record make the parser read at will, so it is refused.
ByteView ResidentValue(ByteView record, uint32_t attribute) {
  if (record.u8(attribute + kAttrNonResident) != 0) throw BlockException();
  const uint32_t length = record.le32(attribute + kAttrValueLength);
  const uint16_t offset = record.le16(attribute + kAttrValueOffset);
  return record.Sub(uint64_t{attribute} + offset, length);
}

// An MFT slot that was never written holds nothing but zeros (it was never
// initialised); anything else without a "FILE" header, "BAAD" included, is damage.
bool NeverUsed(const uint8_t* bytes, uint64_t size) {
  return std::all_of(bytes, bytes + size, [](uint8_t byte) { return byte == 0; });
}

}  // namespace

ErrorCode MFTRecord::SetGeometry(uint32_t recordSize, uint32_t clusterSize) {
  if (recordSize == 0 || clusterSize == 0 || recordSize % 2 != 0 || clusterSize % 2 != 0) {
    return kErrorInvalidParameter;
  }
  recordSize_ = recordSize;
  clusterSize_ = clusterSize;
  return kErrorSuccess;
}

ErrorCode MFTRecord::TryParse(ByteView block) {
  try {
    return Parse(block);
  } catch (const BlockException&) {
    return kErrorFileCorrupt;
  }
}

ErrorCode MFTRecord::TryParseInPlace(std::span<uint8_t> block) {
  try {
    return ParseBlock(ByteView(block.data(), block.size()), block.data());
  } catch (const BlockException&) {
    return kErrorFileCorrupt;
  }
}

// The fix-ups are applied to a copy: the caller's bytes stay as the disk
// holds them.
ErrorCode MFTRecord::Parse(ByteView block) { return ParseBlock(block, nullptr); }

ErrorCode MFTRecord::ParseBlock(ByteView block, uint8_t* inPlace) {
  if (block.size() < recordSize_) return kErrorInvalidParameter;
  // A record is recordSize bytes; whatever follows belongs to the next one.
  if (inPlace == nullptr && fixed_.size() != recordSize_) fixed_.assign(recordSize_, 0);
  bytes_ = inPlace != nullptr ? inPlace : fixed_.data();
  const bool checkNumber = checkNumber_;
  checkNumber_ = false;
  bytesSize_ = 0;
  attributeOffset_ = 0;
  runs.clear();
  standardInfo.fill(0);
  ClearFileNameFrom(0);
  inUse = false;
  directoryRecord = false;
  sequenceNumber = 0;
  sparse = false;
  fileNameCount = 0;
  dataCount = 0;
  fragmentCount = 0;
  haveLongName_ = false;
  haveUnnamedDataSize_ = false;
  fileNameId = 0;
  unnamedDataId = 0;
  indexRootId = 0;
  hasUnnamedData = false;
  hasIndexRoot = false;
  neverUsed = false;
  streamNameOutside = false;
  standardInfoTooShort = false;
  standardInfoSize = 0;
  bitmapOffset = 0;
  if (recordSize_ < kRecordHeaderSize) throw BlockException();

  try {
    const ByteView record = block.Sub(0, recordSize_);
    if (record.le32(0) != kFileSignature) {
      neverUsed = NeverUsed(record.data(), record.size());
      return neverUsed ? kErrorSuccess : kErrorInvalidParameter;
    }
    // Only the strides that hold the bytes in use and the update sequence are
    // fixed up (and copied first, unless parsed in place): no attribute
    // reaches the slack after them, which on most volumes is half of each
    // record.
    const uint64_t needed = std::max<uint64_t>(
        {record.le32(kUsedSize),
         record.le16(kUpdateSequenceOffset) + 2ull * record.le16(kUpdateSequenceCount),
         kRecordHeaderSize});
    bytesSize_ =
        std::min<uint64_t>(recordSize_, (needed + kFixupStride - 1) / kFixupStride * kFixupStride);
    if (inPlace == nullptr) std::memcpy(bytes_, record.data(), bytesSize_);
    const uint16_t flags = record.le16(kRecordFlags);
    inUse = (flags & kRecordInUse) != 0;
    directoryRecord = (flags & kRecordIsDirectory) != 0;
    sequenceNumber = record.le16(kSequenceNumber);
    if (checkNumber && record.le16(kUpdateSequenceOffset) >= kHeaderWithOwnNumber) {
      const uint32_t own = record.le32(kOwnNumber);
      if (own != 0 && own != static_cast<uint32_t>(expectedNumber_)) throw BlockException();
    }
    // An extension record belongs to a base record inside the MFT.
    if (recordLimit_ != 0 && FileReference{record.le64(kBaseRecord)}.RecordNumber() >= recordLimit_) {
      throw BlockException();
    }
    ApplyFixups(record);
    const ByteView fixed = Bytes();
    attributeOffset_ = fixed.le16(kFirstAttribute);
    // The attributes lie in the bytes in use, which lie in the record.
    usedSize_ = fixed.le32(kUsedSize);
    if (usedSize_ > bytesSize_ || attributeOffset_ < kMinFirstAttribute ||
        attributeOffset_ >= usedSize_) {
      throw BlockException();
    }
    return WalkAttributes();
  } catch (const ByteRangeError&) {
    throw BlockException();
  }
}

// Before the fix-up, the last two bytes of every stride hold the update
// sequence number; a stride that does not was written at another time than
// the rest (a torn write) or damaged. The fix-up puts each stride's own bytes
// back and leaves the sequence number in the array in their place, so that a
// record fixed up in memory is recognised as such when it is parsed again.
void MFTRecord::ApplyFixups(ByteView raw) {
  const ByteView record = Bytes();
  const uint32_t count = record.le16(kUpdateSequenceCount);
  const uint32_t arrayOffset = record.le16(kUpdateSequenceOffset);
  // One entry for the number and one for each stride, all in the record.
  if (count != recordSize_ / kFixupStride + 1 || !record.Contains(arrayOffset, 2ull * count)) {
    throw BlockException();
  }
  // Every stride is checked, those past the copy too: a torn write there
  // is damage all the same.
  const uint16_t number = record.le16(arrayOffset);
  for (uint32_t i = 1; i < count; ++i) {
    if (raw.le16(kFixupStride * i - 2) != number) throw BlockException();
  }
  for (uint32_t i = 1; i < count && kFixupStride * i <= bytesSize_; ++i) {
    std::memmove(bytes_ + kFixupStride * i - 2, bytes_ + arrayOffset + 2 * i, 2);
  }
}

ErrorCode MFTRecord::WalkAttributes() {
  const ByteView record = Bytes();
  for (;;) {
    // The attributes end with the end marker, inside the record: a walk that
    // leaves the record before the marker followed a damaged length or
    // first-attribute offset.
    const uint32_t type = record.le32(attributeOffset_);
    ++attributeCounts[(type >> 4) & 15];
    if (type == kAttributeEnd) return kErrorSuccess;
    const uint32_t length = record.le32(attributeOffset_ + kAttrLength);
    if (length < kMinAttributeLength || uint64_t{attributeOffset_} + length > usedSize_) {
      throw BlockException();
    }
    // A resident value lies inside its attribute; a non-resident attribute
    // holds its sizes and its run list.
    if (record.u8(attributeOffset_ + kAttrNonResident) == 0) {
      if (uint64_t{record.le16(attributeOffset_ + kAttrValueOffset)} +
              record.le32(attributeOffset_ + kAttrValueLength) >
          length) {
        throw BlockException();
      }
    } else if (length < kMinNonResidentLength ||
               record.le16(attributeOffset_ + kAttrRunListOffset) >= length) {
      throw BlockException();
    }
    NoteStreamIds(type);
    switch (type) {
      case kAttributeStandardInformation:
        if (ErrorCode error = ReadStandardInformation()) return error;
        break;
      case kAttributeFileName:
        if (ErrorCode error = ReadFileName()) return error;
        break;
      case kAttributeBitmap:
        if (record.u8(attributeOffset_ + kAttrNameLength) == 0) bitmapOffset = attributeOffset_;
        break;
      case kAttributeData:
        ++dataCount;
        ReadDataAttribute();
        break;
      default:
        break;
    }
    attributeOffset_ += length;
  }
}

ErrorCode MFTRecord::ReadStandardInformation() {
  standardInfo.fill(0);
  const ByteView record = Bytes();
  if (record.le32(attributeOffset_ + kAttrValueLength) > kStandardInfoCap) {
    return kErrorNotEnoughMemory;
  }
  const ByteView value = ResidentValue(record, attributeOffset_);
  if (value.size() < kStandardInfoSize) {
    standardInfoTooShort = true;
    standardInfoSize = static_cast<uint32_t>(value.size());
    return kErrorInvalidParameter;
  }
  std::memcpy(standardInfo.data(), value.data(), kStandardInfoSize);
  return kErrorSuccess;
}

ErrorCode MFTRecord::ReadFileName() {
  const ByteView record = Bytes();
  if (record.le32(attributeOffset_ + kAttrValueLength) > kFileNameCap) return kErrorNotEnoughMemory;
  const ByteView value = ResidentValue(record, attributeOffset_);
  if (value.size() < kMinFileNameValue) return kErrorInvalidParameter;
  // Every name has a character; an empty one is damage, not a file to list.
  if (value.u8(kFnNameLength) == 0) return kErrorFileCorrupt;
  // A value too short for the name it announces is as damaged as one too
  // short for the fixed fields: its name would end in bytes it does not hold.
  const size_t nameEnd = kFnName + 2 * size_t{value.u8(kFnNameLength)};
  if (value.size() < nameEnd) return kErrorInvalidParameter;
  ++fileNameCount;
  // The order of a record's names follows their contents, so a DOS alias
  // often comes after the long name it abbreviates; the file is known by
  // the long one.
  const bool dosAlias = value.u8(kFnNameType) == kNameTypeDosOnly;
  if (dosAlias && haveLongName_) return kErrorSuccess;
  haveLongName_ = !dosAlias;
  const size_t copied = std::min<size_t>(value.size(), kFileNameValueSize);
  std::memcpy(fileName.data(), value.data(), copied);
  ClearFileNameFrom(copied);
  fileName[nameEnd] = 0;
  fileName[nameEnd + 1] = 0;
  fileNameWritten_ = std::max(copied, nameEnd + 2);
  fileNameId = record.le16(attributeOffset_ + kAttrId);
  return kErrorSuccess;
}

void MFTRecord::ClearFileNameFrom(size_t offset) {
  if (fileNameWritten_ > offset) {
    std::memset(fileName.data() + offset, 0, fileNameWritten_ - offset);
  }
  fileNameWritten_ = offset;
}

void MFTRecord::StoreFileNameSize(uint64_t size) {
  StoreLe64(fileName.data() + kFnDataSize, size);
  fileNameWritten_ = std::max(fileNameWritten_, kFnDataSize + 8);
}

void MFTRecord::ReadDataAttribute() {
  const ByteView record = Bytes();
  // A file's size is its unnamed stream's; a named stream (a download's
  // Zone.Identifier, say) gives its size only to a record without one.
  const bool named = record.u8(attributeOffset_ + kAttrNameLength) != 0;
  const bool takeSize = !named || !haveUnnamedDataSize_;
  if (!named) haveUnnamedDataSize_ = true;
  if (record.u8(attributeOffset_ + kAttrNonResident) == 0) {
    if (takeSize) {
      StoreFileNameSize(record.le32(attributeOffset_ + kAttrValueLength));
    }
    return;
  }
  if (named) {
    // A stream's name lies in its record. One that does not makes the record
    // damaged for the listing; the load's counts and filters still take it.
    const uint64_t nameOffset =
        uint64_t{attributeOffset_} + record.le16(attributeOffset_ + kAttrNameOffset);
    if (!record.Contains(nameOffset, 2u * record.u8(attributeOffset_ + kAttrNameLength))) {
      streamNameOutside = true;
    }
  }
  if (takeSize) {
    StoreFileNameSize(record.le64(attributeOffset_ + kAttrDataSize));
  }
  if (runs.empty()) BuildRunList();
  if (record.le16(attributeOffset_ + kAttrRunListOffset) != 0) {
    fragmentCount = 0;
    sparse = false;
    CountFragments();
  }
}

// The timeline names a record by the attribute that holds its contents: the
// unnamed $DATA of a file, the $I30 index root of a directory. What this reads
// is checked here rather than trusted, so that an attribute the rest of the
// parser passes over never makes the record damaged.
void MFTRecord::NoteStreamIds(uint32_t type) {
  if (type != kAttributeData && type != kAttributeIndexRoot) return;
  const ByteView record = Bytes();
  if (!record.Contains(attributeOffset_, kAttrValueOffset)) return;
  const uint8_t nameLength = record.u8(attributeOffset_ + kAttrNameLength);
  const uint16_t id = record.le16(attributeOffset_ + kAttrId);
  if (type == kAttributeData) {
    if (nameLength != 0 || hasUnnamedData) return;
    unnamedDataId = id;
    hasUnnamedData = true;
    return;
  }
  const uint64_t nameOffset =
      uint64_t{attributeOffset_} + record.le16(attributeOffset_ + kAttrNameOffset);
  if (nameLength != 4 || hasIndexRoot || !record.Contains(nameOffset, 8)) return;
  if (record.le16(nameOffset) == u'$' && record.le16(nameOffset + 2) == u'I' &&
      record.le16(nameOffset + 4) == u'3' && record.le16(nameOffset + 6) == u'0') {
    indexRootId = id;
    hasIndexRoot = true;
  }
}

// The run list of the first non-resident $DATA, decoded for the cluster
// column; nothing is read.
void MFTRecord::BuildRunList() {
  const ByteView record = Bytes();
  const uint64_t start =
      uint64_t{attributeOffset_} + record.le16(attributeOffset_ + kAttrRunListOffset);
  if (!record.Contains(start, 1)) throw BlockException();
  RunListReader reader(record, start, clusterSize_);
  DecodedRun run;
  while (reader.Next(run)) runs.push_back(RunEntry{run.lcn, run.byteLength});
}

void MFTRecord::CountFragments() {
  const ByteView record = Bytes();
  RunListReader reader(
      record, uint64_t{attributeOffset_} + record.le16(attributeOffset_ + kAttrRunListOffset),
      clusterSize_);
  DecodedRun run;
  while (reader.Next(run)) {
    if (!run.hasOffset) sparse = true;
    if (run.offset != 0) ++fragmentCount;
  }
}

void WriteParserDiagnostic(std::wostream* stream, const MFTRecord& record) {
  if (!record.standardInfoTooShort) return;
  std::wostream& out = stream != nullptr ? *stream : StandardError();
  out << L"Error Attribute bufferSize=" << record.standardInfoSize << L" expect min size of "
      << kStandardInfoSize << L"\n";
  out.flush();
}

}  // namespace skerry
