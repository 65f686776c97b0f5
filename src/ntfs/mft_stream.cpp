#include "ntfs/mft_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/prefetch.h"

namespace skerry {
namespace {

constexpr size_t kPrefetchRecords = 4;

}  // namespace

MftStream::MftStream(MFTRecord& parser, MftRecordConsumer& consumer, AttributeReader& reader,
                     size_t bufferSize)
    : parser_(parser),
      consumer_(consumer),
      shared_(reader.device() != nullptr ? std::make_unique<SharedDevice>(*reader.device())
                                         : nullptr),
      consumerDevice_(shared_ != nullptr ? std::make_unique<GuardedDevice>(*shared_) : nullptr),
      reader_(reader.Through(consumerDevice_.get())),
      pieces_(bufferSize, kMftStreamPieces),
      carry_(parser.RecordSize()) {}

ErrorCode MftStream::ReadFrom(BlockDevice& device, uint64_t offset, uint32_t byteCount) {
  const ReadAhead::Take take = [this](uint8_t* bytes, size_t count) { Take(bytes, count); };
  if (shared_ == nullptr || &device != &shared_->device()) {
    return pieces_.Read(device, offset, byteCount, take);
  }
  GuardedDevice fetcher(*shared_);
  return pieces_.Read(fetcher, offset, byteCount, take);
}

// A resident $DATA: a record or two at most, in the record that holds it.
void MftStream::Append(ByteView bytes) {
  std::vector<uint8_t> copy(bytes.data(), bytes.data() + bytes.size());
  Take(copy.data(), copy.size());
}

void MftStream::Take(uint8_t* bytes, size_t count) {
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
  // The piece was read on another core: a record's lines are asked for a few
  // records ahead, or the walk of its attributes waits for each in turn.
  for (; count >= recordSize; bytes += recordSize, count -= recordSize) {
    if (count >= (kPrefetchRecords + 1) * recordSize) {
      PrefetchRange(bytes + kPrefetchRecords * recordSize, recordSize);
    }
    Hand(bytes);
  }
  if (count > 0) {
    std::memcpy(carry_.data(), bytes, count);
    carried_ = count;
  }
}

bool MftStream::BitmapHoldsInUse(uint64_t number) const {
  return bitmap_ != nullptr && number / 8 < bitmap_->size() &&
         ((*bitmap_)[number / 8] >> (number % 8) & 1) != 0;
}

void MftStream::Hand(uint8_t* bytes) {
  const uint64_t number = recordCount_++;
  parser_.ExpectRecordNumber(number);
  ErrorCode error = parser_.TryParseInPlace(std::span<uint8_t>(bytes, carry_.size()));
  if (error != kErrorSuccess) WriteParserDiagnostic(diagnostics_, parser_);
  // Zeros where $MFT's bitmap holds a record in use: a damaged run led there.
  if (error == kErrorSuccess && parser_.neverUsed && BitmapHoldsInUse(number)) {
    error = kErrorFileCorrupt;
  }
  consumer_.Consume(number, error, parser_, reader_);
}

}  // namespace skerry
