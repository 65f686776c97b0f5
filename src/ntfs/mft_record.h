#pragma once
// One NTFS file record ("FILE" record of the MFT), decoded from bytes that the
// caller owns: fix-ups applied to a copy of its own, attributes walked, and
// the values the rest of the system needs copied into fixed blocks.

#include <array>
#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

#include "filters/file_views.h"
#include "filters/fs_filter.h"
#include "ntfs/block_exception.h"
#include "ntfs/cluster_sink.h"
#include "ntfs/cluster_number.h"
#include "ntfs/run_entry.h"
#include "platform/byte_buffer.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

inline constexpr uint32_t kAttributeStandardInformation = 0x10;
inline constexpr uint32_t kAttributeFileName = 0x30;
inline constexpr uint32_t kAttributeData = 0x80;
inline constexpr uint32_t kAttributeIndexRoot = 0x90;
inline constexpr uint32_t kAttributeBitmap = 0xB0;
inline constexpr uint32_t kAttributeEnd = 0xFFFFFFFF;

// Caps on what one read of attribute data may gather.
inline constexpr uint64_t kStandardInfoCap = 512;
inline constexpr uint64_t kFileNameCap = 4096;
inline constexpr uint64_t kMaxAttributeData = 0xFFFFFFFF;

// The update sequence protects the last two bytes of every 512-byte stride,
// whatever the disk's sector size.
inline constexpr uint32_t kFixupStride = 512;

// Counter (type >> 4) & 15 of attribute headers met; the end marker counts in 15.
using AttributeCounts = std::array<int32_t, 16>;

class MFTRecord final : public FileDescription {
 public:
  MFTRecord() = default;
  MFTRecord(const MFTRecord&) = delete;
  MFTRecord& operator=(const MFTRecord&) = delete;
  ~MFTRecord() = default;

  // kErrorInvalidParameter, changing nothing, when a size is 0 or odd.
  ErrorCode SetGeometry(uint64_t partitionOffset, uint32_t recordSize, uint32_t clusterSize);
  // Records that the MFT's runs can hold: a base record reference at or past
  // it is damage. 0 (the default) checks no reference.
  void SetRecordLimit(uint64_t recordLimit) { recordLimit_ = recordLimit; }
  // Where the one diagnostic line of the parser goes; the standard error
  // stream unless set.
  void SetDiagnosticStream(std::wostream* stream) { diagnostics_ = stream; }

  // Parses the first RecordSize() bytes of `buffer`, which it leaves as they
  // are (the fix-ups go to the record's own copy, Bytes()). A
  // block of nothing but zeros is a slot of the MFT that was never used: a
  // free record without attributes, returning 0. Returns 0,
  // kErrorInvalidParameter (block too short, no "FILE", value too short),
  // kErrorFileCorrupt (a $FILE_NAME without a name), kErrorNotEnoughMemory
  // (a cap exceeded) or a read's code; raises BlockException when a structure
  // reaches beyond the record, the attributes do not end with the end marker
  // inside its bytes in use, an attribute or resident value is shorter than
  // its header or longer than its room, an update sequence does not match (a
  // torn write) or the base record reference lies past the record limit. The
  // fields below then describe this record alone: a record without
  // $STANDARD_INFORMATION or $FILE_NAME presents zero blocks, never an
  // earlier record's values.
  // With `readData`, the contents of every $DATA attribute go to dataSink
  // (to `data` when it is null).
  ErrorCode Parse(uint8_t* buffer, uint64_t bufferSize, bool readData, uint64_t maxData,
                  StreamFilter* observer);
  // Parse for callers that treat a damaged record as a code: BlockException
  // becomes kErrorFileCorrupt.
  ErrorCode TryParse(uint8_t* buffer, uint64_t bufferSize, bool readData, uint64_t maxData,
                     StreamFilter* observer);

  // Appends the contents of the attribute whose header lies at
  // `attributeOffset` of the record being parsed. A non-resident attribute
  // is read up to its data size (never its allocation beyond it), and `runs`
  // then holds the runs that hold that data, the last one cut to the clusters
  // in use. Returns kErrorNotEnoughMemory past `maxData`,
  // kErrorFileTooLarge for a run of 4 GiB or more, or a read's code.
  ErrorCode ReadAttributeData(uint32_t attributeOffset, ClusterSink& out, uint64_t maxData);
  ErrorCode ReadAttributeData(uint32_t attributeOffset, ByteBuffer& out, uint64_t maxData);
  // Decodes the run list of the attribute at `attributeOffset` into `runs`,
  // reading nothing (empty for a resident attribute).
  ErrorCode BuildRunList(uint32_t attributeOffset);
  // Reads `byteCount` bytes from cluster `lcn` onward into `out`. Returns
  // kErrorHandleEof when the disk returns no bytes before the count is reached.
  ErrorCode ReadClusters(Lcn lcn, ClusterSink& out, uint32_t byteCount);

  uint32_t DataStreamCount() const override { return static_cast<uint32_t>(dataCount); }
  // Records have no path while the MFT loads.
  std::u16string_view DirectoryPath() const override { return {}; }
  bool InUse() const override { return inUse; }

  // The number of the record that the next Parse reads, for that Parse
  // only: a record whose header names another number (records of NTFS 3.1
  // carry their own) was read from the wrong place, and is damaged.
  // $MFT's bitmap of records in use (not owned; null: none). A record that
  // reads as never used while the bitmap holds it in use came from the wrong
  // place (a damaged run), and a filtered read passes over it as damaged.
  void SetMftBitmap(const ByteBuffer* bitmap) { mftBitmap_ = bitmap; }
  bool BitmapHoldsInUse(uint64_t recordNumber) const {
    return mftBitmap_ != nullptr && recordNumber / 8 < mftBitmap_->size() &&
           ((*mftBitmap_)[recordNumber / 8] >> (recordNumber % 8) & 1) != 0;
  }

  void ExpectRecordNumber(uint64_t number) {
    expectedNumber_ = number;
    checkNumber_ = true;
  }

  uint32_t RecordSize() const { return recordSize_; }
  // The record last parsed, fixed up; valid until the next Parse.
  ByteView Bytes() const { return ByteView(buffer_, bufferSize_); }
  uint32_t ClusterSize() const { return clusterSize_; }
  uint64_t PartitionOffset() const { return partitionOffset_; }

  StandardInfoBlock standardInfo{};
  FileNameBlock fileName{};
  std::vector<RunEntry> runs;
  ByteBuffer data;
  // Where a Parse with readData puts the $DATA contents instead of `data`
  // (the MFT's record stream); not owned.
  ClusterSink* dataSink = nullptr;
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
  // Offset of the unnamed $BITMAP attribute in the record; 0: none.
  uint32_t bitmapOffset = 0;
  // The disk, for reading attribute contents; not owned.
  BlockDevice* handle = nullptr;
  AttributeCounts attributeCounts{};

 private:
  void ApplyFixups();
  ErrorCode WalkAttributes(bool readData, uint64_t maxData, StreamFilter* observer);
  ErrorCode ReadStandardInformation();
  ErrorCode ReadFileName();
  void ReadDataAttribute(StreamFilter* observer);
  void CountFragments();
  void NoteStreamIds(uint32_t type);
  void NotifyNamedStream(StreamFilter& observer);
  std::wostream& Diagnostics();

  uint8_t* buffer_ = nullptr;
  uint64_t bufferSize_ = 0;
  // Any block shorter than this fails until SetGeometry gives the real size.
  uint32_t recordSize_ = 1023;
  uint32_t attributeOffset_ = 0;
  uint32_t clusterSize_ = 0;
  uint64_t partitionOffset_ = 0;
  uint64_t recordLimit_ = 0;
  // The record's bytes with the fix-ups applied, and the header's count of
  // bytes in use.
  std::vector<uint8_t> fixed_;
  uint32_t usedSize_ = 0;
  uint64_t expectedNumber_ = 0;
  const ByteBuffer* mftBitmap_ = nullptr;
  bool checkNumber_ = false;
  std::wostream* diagnostics_ = nullptr;
  // Whether `fileName` holds a name other than a DOS alias, and whether its
  // data size is the unnamed data stream's, which later attributes keep.
  bool haveLongName_ = false;
  bool haveUnnamedDataSize_ = false;
  // Names handed to the stream observer, copied without allocating.
  std::array<char16_t, 256> recordNameScratch_{};
  std::array<char16_t, 256> streamNameScratch_{};
};

}  // namespace skerry
