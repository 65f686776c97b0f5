#include "ntfs/mft_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace skerry {
namespace {

// Raw devices want their reads in whole sectors, into memory aligned to them.
constexpr size_t kBufferAlignment = 4096;
constexpr size_t kSectorMultiple = 512;

}  // namespace

void MftStream::AlignedDelete::operator()(uint8_t* block) const {
  ::operator delete(block, std::align_val_t{kBufferAlignment});
}

MftStream::MftStream(MFTRecord& parser, MftRecordConsumer& consumer, AttributeReader& reader,
                     size_t bufferSize)
    : parser_(parser),
      consumer_(consumer),
      reader_(reader),
      bufferSize_((std::max<size_t>(bufferSize, 1) + kSectorMultiple - 1) / kSectorMultiple *
                  kSectorMultiple),
      // Never zero-filled: every byte used was read first.
      buffer_(static_cast<uint8_t*>(::operator new(bufferSize_, std::align_val_t{kBufferAlignment}))),
      carry_(parser.RecordSize()) {}

// The consumer may read the disk itself (an attribute list), so each request
// says where it starts.
ErrorCode MftStream::ReadFrom(BlockDevice& device, uint64_t offset, uint32_t byteCount) {
  uint32_t remaining = byteCount;
  while (remaining > 0) {
    const auto request = static_cast<uint32_t>(std::min<uint64_t>(remaining, bufferSize_));
    if (!device.Seek(offset)) return device.LastError();
    uint32_t got = 0;
    if (!device.Read(buffer_.get(), request, got)) return device.LastError();
    got = std::min(got, request);
    if (got == 0) return kErrorHandleEof;
    // On a cold disk the next piece arrives while this one is parsed.
    if (remaining > got) {
      device.WillRead(offset + got, std::min<uint64_t>(remaining - got, bufferSize_));
    }
    remaining -= got;
    offset += got;
    Take(buffer_.get(), got);
  }
  return kErrorSuccess;
}

void MftStream::Take(const uint8_t* bytes, size_t count) {
  bytesTaken_ += count;
  const size_t recordSize = carry_.size();
  if (carried_ > 0) {
    const size_t fill = std::min(recordSize - carried_, count);
    std::memcpy(carry_.data() + carried_, bytes, fill);
    carried_ += fill;
    bytes += fill;
    count -= fill;
    if (carried_ < recordSize) return;
    carried_ = 0;
    Hand(carry_.data());
  }
  for (; count >= recordSize; bytes += recordSize, count -= recordSize) Hand(bytes);
  if (count > 0) {
    std::memcpy(carry_.data(), bytes, count);
    carried_ = count;
  }
}

bool MftStream::BitmapHoldsInUse(uint64_t number) const {
  return bitmap_ != nullptr && number / 8 < bitmap_->size() &&
         ((*bitmap_)[number / 8] >> (number % 8) & 1) != 0;
}

void MftStream::Hand(const uint8_t* bytes) {
  const uint64_t number = recordCount_++;
  parser_.ExpectRecordNumber(number);
  ErrorCode error = parser_.TryParse(ByteView(bytes, carry_.size()));
  if (error != kErrorSuccess) WriteParserDiagnostic(diagnostics_, parser_);
  // Zeros where $MFT's bitmap holds a record in use: a damaged run led there.
  if (error == kErrorSuccess && parser_.neverUsed && BitmapHoldsInUse(number)) {
    error = kErrorFileCorrupt;
  }
  consumer_.Consume(number, error, parser_, reader_);
}

}  // namespace skerry
