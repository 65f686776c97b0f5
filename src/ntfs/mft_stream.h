#pragma once
// The MFT read as a stream of records: its clusters come in through a small
// ring of reused pieces, each record is parsed as soon as its last byte has
// arrived and handed to a consumer, and no record's bytes are kept after that.
// A record that straddles two pieces or the end of a run waits in a
// record-sized carry for the rest of its bytes. The next pieces of a long run
// are read on a second thread while a piece is parsed; the consumer's own reads
// (a long attribute list) go to the same device through a view of their own.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ntfs/attribute_reader.h"
#include "ntfs/cluster_sink.h"
#include "ntfs/mft_record.h"
#include "platform/byte_buffer.h"
#include "platform/guarded_device.h"
#include "platform/read_ahead.h"

namespace skerry {

// A few MiB: large sequential requests, far below the MFT of a large volume.
inline constexpr size_t kMftStreamBufferSize = 1024 * 1024;
// Pieces of that size in the ring: one parsed while the other is read, in
// one large page.
inline constexpr size_t kMftStreamPieces = 2;

class MftRecordConsumer {
 public:
  virtual ~MftRecordConsumer() = default;
  // Record `number`, in MFT order. `error` is the parser's code: 0 when
  // `record` describes it, else kErrorFileCorrupt or another code for a
  // damaged record (zeros where $MFT's bitmap holds the record in use
  // included), whose fields then mean nothing. `reader` reads the data of
  // the record's attributes; the record is valid until the call returns.
  virtual void Consume(uint64_t number, ErrorCode error, const MFTRecord& record,
                       AttributeReader& reader) = 0;
};

class MftStream final : public ClusterSink {
 public:
  // `parser` parses every record (its geometry and record limit set by the
  // caller); the consumer reads through `reader`'s volume; `bufferSize`,
  // the size of each piece, is rounded up to a whole number of 512-byte
  // sectors.
  MftStream(MFTRecord& parser, MftRecordConsumer& consumer, AttributeReader& reader,
            size_t bufferSize = kMftStreamBufferSize);
  MftStream(const MftStream&) = delete;
  MftStream& operator=(const MftStream&) = delete;

  // $MFT's bitmap of records in use (not owned; null: none). A record that
  // reads as never used while the bitmap holds it in use came from the wrong
  // place (a damaged run): it is damaged.
  void SetMftBitmap(const ByteBuffer* bitmap) { bitmap_ = bitmap; }
  // Where the parser's diagnostic line goes (standard error when null).
  void SetDiagnosticStream(std::wostream* stream) { diagnostics_ = stream; }

  uint64_t size() const override { return bytesTaken_; }
  void Append(ByteView bytes) override;
  ErrorCode ReadFrom(BlockDevice& device, uint64_t offset, uint32_t byteCount) override;

  // Records handed to the consumer so far; bytes of an incomplete record
  // at the end are not one.
  uint64_t recordCount() const { return recordCount_; }

 private:
  // Records are fixed up where they lie in `bytes`.
  void Take(uint8_t* bytes, size_t count);
  void Hand(uint8_t* bytes);
  bool BitmapHoldsInUse(uint64_t number) const;

  MFTRecord& parser_;
  MftRecordConsumer& consumer_;
  // The reader's device, shared by the fetching and the consumer's reads.
  std::unique_ptr<SharedDevice> shared_;
  std::unique_ptr<GuardedDevice> consumerDevice_;
  AttributeReader reader_;
  const ByteBuffer* bitmap_ = nullptr;
  std::wostream* diagnostics_ = nullptr;
  ReadAhead pieces_;
  std::vector<uint8_t> carry_;
  size_t carried_ = 0;
  uint64_t bytesTaken_ = 0;
  uint64_t recordCount_ = 0;
};

}  // namespace skerry
