#include "ntfs/ntfs_volume.h"

#include <array>
#include <cstdint>
#include <new>

#include "ntfs/attribute_list.h"
#include "ntfs/attribute_reader.h"
#include "ntfs/boot_sector.h"
#include "ntfs/checked_arithmetic.h"
#include "ntfs/partition_table.h"
#include "ntfs/read_exactly.h"

namespace skerry {
namespace {

// The bitmap is a whole number of 8-byte words, and may cover records that
// the MFT has allocated but not yet reached.
constexpr uint64_t kMftBitmapSlack = 4096;

bool NamedMft(const FileNameBlock& fileName) {
  return NameUnit(fileName, 0) == u'$' && NameUnit(fileName, 1) == u'M' &&
         NameUnit(fileName, 2) == u'F' && NameUnit(fileName, 3) == u'T';
}

// Takes the records of a load that nobody consumes.
class NoConsumer final : public MftRecordConsumer {
 public:
  void Consume(uint64_t, ErrorCode, const MFTRecord&, AttributeReader&) override {}
};

// Reads the contents of every $DATA of record 0, in the order of its
// attributes, into the stream; `runs` ends with the runs of the last
// non-resident one. Stops at the first read that fails; a structure that
// leaves the record is kErrorFileCorrupt. The parser has checked the
// attributes' lengths and end marker.
ErrorCode ReadMftData(ByteView record, AttributeReader& reader, MftStream& stream,
                      std::vector<RunEntry>& runs) {
  try {
    for (uint32_t at = 0; FindNextAttribute(record, kAttributeData, at);) {
      // The stream keeps no record's bytes, so the MFT's size bounds no memory.
      if (ErrorCode error = reader.Read(record, at, stream, UINT64_MAX, &runs)) return error;
    }
    return kErrorSuccess;
  } catch (const BlockException&) {
    return kErrorFileCorrupt;
  }
}

}  // namespace

NtfsVolume::NtfsVolume() : NtfsVolume(SystemDeviceOpener()) {}

NtfsVolume::NtfsVolume(DeviceOpener& opener) : opener_(opener) {}

NtfsVolume::~NtfsVolume() = default;

ErrorCode NtfsVolume::Mount(std::u16string_view physicalName, const PartitionEntry& entry,
                            char16_t separator, MftRecordConsumer* consumer) {
  if (entry.startBeyond32Bits) return kErrorArithmeticOverflow;
  if (handle_ == nullptr) {
    ErrorCode error = kErrorSuccess;
    handle_ = opener_.Open(physicalName, DeviceAccess::kRead, error);
    if (handle_ == nullptr) return error;
  }
  startSector_ = entry.startSector;
  bytesPerSector_ = kDiskSectorSize;
  separator_ = separator;
  return ReadBootSector(consumer);
}

ErrorCode NtfsVolume::ReadBootSector(MftRecordConsumer* consumer) {
  loaded_ = false;
  if (handle_ == nullptr) return kErrorInvalidHandle;
  std::array<uint8_t, kBootSectorSize> sector{};
  if (!handle_->Seek(partitionOffset())) return handle_->LastError();
  if (ErrorCode error = ReadExactly(*handle_, sector.data(), kBootSectorSize)) return error;

  VolumeGeometry geometry;
  if (ErrorCode error = ReadGeometry(ByteView(sector.data(), sector.size()), geometry)) {
    return error;
  }
  clusterSize_ = geometry.clusterSize;
  recordSize_ = geometry.recordSize;
  recordBuffer_.assign(recordSize_, 0);
  const ErrorCode result = LoadMft(geometry.mftCluster, consumer);
  loaded_ = result == kErrorSuccess;
  return result;
}

ErrorCode NtfsVolume::LoadMft(uint64_t mftCluster, MftRecordConsumer* consumer) {
  if (handle_ == nullptr) return kErrorInvalidHandle;
  uint64_t offset = 0;
  if (!CheckedMultiply(mftCluster, clusterSize_, offset) ||
      !CheckedAdd(offset, partitionOffset(), offset)) {
    return kErrorArithmeticOverflow;
  }
  if (!handle_->Seek(offset)) return handle_->LastError();
  recordBuffer_.resize(recordSize_);
  if (ErrorCode error = ReadExactly(*handle_, recordBuffer_.data(), recordSize_)) return error;

  // Record 0 is checked before its data is read, so that a partition whose
  // record 0 is not the MFT's costs no reading. Its $DATA is the only way to
  // the other records: when the record is damaged, or its $DATA cannot hold
  // whole records, the disk's structure is what is damaged.
  MFTRecord record;
  record.SetGeometry(recordSize_, clusterSize_);
  record.ExpectRecordNumber(0);
  const ErrorCode error = record.TryParse(ByteView(recordBuffer_.data(), recordBuffer_.size()));
  if (error != kErrorSuccess) WriteParserDiagnostic(diagnostics_, record);
  if (error == kErrorFileCorrupt) return kErrorDiskCorrupt;
  if (error != kErrorSuccess) return error;
  if (!NamedMft(record.fileName)) return kErrorBadDevice;
  mftListedRunCount_ = record.runs.size();
  const auto dataSize = static_cast<uint64_t>(DataSize(record.fileName));
  if (record.dataCount == 0 || dataSize < recordSize_) return kErrorDiskCorrupt;
  uint64_t runBytes = 0;
  for (const RunEntry& run : record.runs) {
    if (!CheckedAdd(runBytes, run.byteLength, runBytes)) runBytes = UINT64_MAX;
  }
  AttributeReader reader(handle_.get(), partitionOffset(), clusterSize_);
  // $MFT's bitmap tells a slot that was never used from records that a
  // damaged run replaced with zeros; one that cannot be read loses only
  // that check.
  mftBitmap_.clear();
  if (record.bitmapOffset != 0) {
    const uint64_t cap = dataSize / recordSize_ / 8 + kMftBitmapSlack;
    ErrorCode bitmapError = kErrorSuccess;
    try {
      bitmapError = reader.Read(record.Bytes(), record.bitmapOffset, mftBitmap_, cap);
    } catch (const BlockException&) {
      bitmapError = kErrorFileCorrupt;
    }
    if (bitmapError != kErrorSuccess) mftBitmap_.clear();
  }

  // A base record reference at or past the records the runs can hold names
  // no record.
  MFTRecord parser;
  parser.SetGeometry(recordSize_, clusterSize_);
  parser.SetRecordLimit(runBytes / recordSize_);
  NoConsumer counter;
  MftStream stream(parser, consumer != nullptr ? *consumer : counter, reader, streamBufferSize_);
  stream.SetMftBitmap(&mftBitmap_);
  stream.SetDiagnosticStream(diagnostics_);
  mftLoadError_ = kErrorSuccess;
  mftRecordCount_ = 0;
  std::vector<RunEntry> runsRead;
  ErrorCode readError = kErrorSuccess;
  try {
    readError = ReadMftData(record.Bytes(), reader, stream, runsRead);
  } catch (const std::bad_alloc&) {
    return kErrorNotEnoughMemory;
  }
  if (readError != kErrorSuccess) {
    // A disk that ends inside the MFT (an image cut short, a run that points
    // past the end) still holds the records read before that end: they are
    // kept, and the listing ends with the read's code.
    if (readError != kErrorHandleEof || stream.recordCount() == 0) return readError;
    mftLoadError_ = readError;
  }
  mftRecordCount_ = stream.recordCount();
  // Runs that end before the data size, or a size that ends inside a record:
  // the whole records read are listed, and the listing ends with the code.
  uint64_t bytesRead = 0;
  for (const RunEntry& run : runsRead) {
    if (!CheckedAdd(bytesRead, run.byteLength, bytesRead)) bytesRead = UINT64_MAX;
  }
  if (mftLoadError_ == kErrorSuccess && (bytesRead < dataSize || dataSize % recordSize_ != 0)) {
    mftLoadError_ = kErrorDiskCorrupt;
  }
  mftRuns_.swap(runsRead);
  // Entry 0 (types 0x100, 0x200, ...) of the stream's counts is not carried
  // over: the report shows only entries 1 to 14.
  attributeCounts_ = record.attributeCounts;
  for (size_t i = 1; i < attributeCounts_.size(); ++i) {
    attributeCounts_[i] += parser.attributeCounts[i];
  }
  return kErrorSuccess;
}

}  // namespace skerry
