#pragma once
// One NTFS file record ("FILE" record of the MFT), decoded from a
// bounds-checked view of bytes that the caller owns: fix-ups applied to a
// copy of its own, attributes walked, and the values the rest of the system
// needs copied into fixed blocks. The parser does no I/O and writes nothing:
// it reports what it found, and its callers read attribute contents
// (attribute_reader.h) and write the diagnostic line (WriteParserDiagnostic).

#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <string_view>
#include <vector>

#include "filters/file_views.h"
#include "ntfs/attribute_header.h"
#include "ntfs/block_exception.h"
#include "ntfs/run_entry.h"
#include "platform/bytes.h"
#include "platform/errors.h"

namespace skerry {

// Caps on the values a record may announce.
inline constexpr uint64_t kStandardInfoCap = 512;
inline constexpr uint64_t kFileNameCap = 4096;

// Counter (type >> 4) & 15 of attribute headers met; the end marker counts in 15.
using AttributeCounts = std::array<int32_t, 16>;

class MFTRecord final : public FileDescription {
 public:
  MFTRecord() = default;
  MFTRecord(const MFTRecord&) = delete;
  MFTRecord& operator=(const MFTRecord&) = delete;
  ~MFTRecord() = default;

  // kErrorInvalidParameter, changing nothing, when a size is 0 or odd.
  ErrorCode SetGeometry(uint32_t recordSize, uint32_t clusterSize);
  // Records that the MFT's runs can hold: a base record reference at or past
  // it is damage. 0 (the default) checks no reference.
  void SetRecordLimit(uint64_t recordLimit) { recordLimit_ = recordLimit; }
  // The number of the record that the next Parse reads, for that Parse
  // only: a record whose header names another number (records of NTFS 3.1
  // carry their own) was read from the wrong place, and is damaged.
  void ExpectRecordNumber(uint64_t number) {
    expectedNumber_ = number;
    checkNumber_ = true;
  }

  // Parses the first RecordSize() bytes of `block`, which it leaves as they
  // are (the fix-ups go to the record's own copy, Bytes()). A block of
  // nothing but zeros is a slot of the MFT that was never used: a free
  // record without attributes, returning 0. Returns 0,
  // kErrorInvalidParameter (block too short, no "FILE", value too short:
  // standardInfoTooShort tells of a short $STANDARD_INFORMATION),
  // kErrorFileCorrupt (a $FILE_NAME without a name) or kErrorNotEnoughMemory
  // (a cap exceeded); raises BlockException when a structure reaches beyond
  // the record, the attributes do not end with the end marker inside its
  // bytes in use, an attribute or resident value is shorter than its header
  // or longer than its room, an update sequence does not match (a torn
  // write) or the base record reference lies past the record limit. The
  // fields below then describe this record alone: a record without
  // $STANDARD_INFORMATION or $FILE_NAME presents zero blocks, never an
  // earlier record's values.
  ErrorCode Parse(ByteView block);
  // Parse for callers that treat a damaged record as a code: BlockException
  // becomes kErrorFileCorrupt.
  ErrorCode TryParse(ByteView block);
  // TryParse that applies the fix-ups to `block` itself, which Bytes() then
  // views, instead of to a copy: for a caller that reads each record once and
  // keeps `block` as it is until it is done with the record.
  ErrorCode TryParseInPlace(std::span<uint8_t> block);

  uint32_t DataStreamCount() const override { return static_cast<uint32_t>(dataCount); }
  // Records have no path while the MFT loads.
  std::u16string_view DirectoryPath() const override { return {}; }
  bool InUse() const override { return inUse; }

  uint32_t RecordSize() const { return recordSize_; }
  // The record last parsed, fixed up, as far as the strides of 512 bytes
  // that hold its bytes in use reach; valid until the next Parse.
  ByteView Bytes() const { return ByteView(bytes_, bytesSize_); }

  // Written by the parser alone: it clears only what it wrote before.
  StandardInfoBlock standardInfo{};
  FileNameBlock fileName{};
  // The runs of the first non-resident $DATA, decoded, not read.
  std::vector<RunEntry> runs;
  bool inUse = false;
  // The header's directory flag, and the sequence number that references to
  // this record carry in their high 16 bits.
  bool directoryRecord = false;
  uint16_t sequenceNumber = 0;
  bool sparse = false;
  int32_t fileNameCount = 0;
  int32_t dataCount = 0;
  int32_t fragmentCount = 0;
  // Attribute ids, which tell a record's attributes apart: that of the
  // $FILE_NAME kept in `fileName`, of the unnamed $DATA and of the directory
  // index root ($INDEX_ROOT named $I30), each when this record holds it.
  uint16_t fileNameId = 0;
  uint16_t unnamedDataId = 0;
  uint16_t indexRootId = 0;
  bool hasUnnamedData = false;
  bool hasIndexRoot = false;
  // The block was all zeros: a slot of the MFT that was never used.
  bool neverUsed = false;
  // A named non-resident $DATA whose name lies outside the record.
  bool streamNameOutside = false;
  // A $STANDARD_INFORMATION value shorter than its fixed fields, and its size.
  bool standardInfoTooShort = false;
  uint32_t standardInfoSize = 0;
  // Offset of the unnamed $BITMAP attribute in the record; 0: none.
  uint32_t bitmapOffset = 0;
  AttributeCounts attributeCounts{};

 private:
  ErrorCode ParseBlock(ByteView block, uint8_t* inPlace);
  void ApplyFixups(ByteView raw);
  ErrorCode WalkAttributes();
  ErrorCode ReadStandardInformation();
  ErrorCode ReadFileName();
  // Zeros `fileName` from `offset` on. A block of 578 bytes cleared whole
  // twice a record was more bytes than the MFT's own.
  void ClearFileNameFrom(size_t offset);
  void StoreFileNameSize(uint64_t size);
  void ReadDataAttribute();
  void BuildRunList();
  void CountFragments();
  void NoteStreamIds(uint32_t type);

  // Any block shorter than this fails until SetGeometry gives the real size.
  uint32_t recordSize_ = 1023;
  uint32_t attributeOffset_ = 0;
  uint32_t clusterSize_ = 0;
  uint64_t recordLimit_ = 0;
  // The record's bytes with the fix-ups applied (bytesSize_ of them, once a
  // "FILE" record was read): the copy, or the caller's block when parsed in
  // place; and the header's count of bytes in use.
  std::vector<uint8_t> fixed_;
  uint8_t* bytes_ = nullptr;
  uint64_t bytesSize_ = 0;
  uint32_t usedSize_ = 0;
  uint64_t expectedNumber_ = 0;
  bool checkNumber_ = false;
  // Whether `fileName` holds a name other than a DOS alias, and whether its
  // data size is the unnamed data stream's, which later attributes keep.
  bool haveLongName_ = false;
  bool haveUnnamedDataSize_ = false;
  // `fileName` is zero from here on.
  size_t fileNameWritten_ = 0;
};

// The parser's one diagnostic line, for a record it refused for a short
// $STANDARD_INFORMATION: written once per damaged record, to the error
// stream (standard error when `stream` is null), never into a listing.
void WriteParserDiagnostic(std::wostream* stream, const MFTRecord& record);

}  // namespace skerry
