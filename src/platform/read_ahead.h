#pragma once
// A long sequential read whose next pieces are fetched on a second thread
// while the caller works on the piece it has: the caller's work and the
// system's copying of the bytes overlap. Pieces reach the caller in order,
// on the calling thread, each in a buffer of its own that stays put until the
// caller is done with it; nothing is fetched more than a ring of pieces ahead.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/chunked_array.h"
#include "platform/device.h"
#include "platform/errors.h"

namespace skerry {

class ReadAhead {
 public:
  // The piece is the caller's to change until `take` returns.
  using Take = std::function<void(uint8_t* bytes, size_t count)>;

  // `pieceSize` is rounded up to whole 512-byte sectors; `pieceCount` pieces
  // (at least one) are allocated, aligned for raw devices and never
  // zero-filled. With one piece, or a read no longer than a piece, the read
  // is made on the calling thread.
  ReadAhead(size_t pieceSize, size_t pieceCount);
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  ~ReadAhead();

  // Reads `byteCount` bytes from `offset` of the device onward and gives
  // them to `take` a piece at a time. Returns kErrorHandleEof when the device
  // returns no bytes before the count is reached, or the read's code; the
  // pieces read before either have been taken. An exception from `take` or
  // from the device stops the fetching and propagates, after the pieces
  // before it.
  ErrorCode Read(BlockDevice& device, uint64_t offset, uint64_t byteCount, const Take& take);

 private:
  // What the fetching thread publishes and the caller gives back.
  struct Ring {
    std::mutex lock;
    std::condition_variable changed;
    uint64_t fetched = 0;  // pieces ready, counted from the read's first
    uint64_t taken = 0;    // pieces the caller is done with
    bool finished = false;
    bool stop = false;
    ErrorCode result = kErrorSuccess;
    std::exception_ptr failure;
  };

  uint8_t* Piece(uint64_t index) const;
  // Reads one piece at `offset` into `buffer`: its length, or 0 with
  // `error`. `announced` is where the bytes the device was told of end.
  uint32_t FetchPiece(BlockDevice& device, uint8_t* buffer, uint64_t offset, uint64_t remaining,
                      uint64_t& announced, ErrorCode& error) const;
  ErrorCode ReadHere(BlockDevice& device, uint64_t offset, uint64_t byteCount, const Take& take);
  void Fetch(BlockDevice& device, uint64_t offset, uint64_t byteCount);
  ErrorCode TakeFetched(const Take& take);

  size_t pieceSize_;
  size_t pieceCount_;
  std::unique_ptr<uint8_t, ChunkDelete> pieces_;
  std::vector<uint32_t> lengths_;
  Ring ring_;
};

}  // namespace skerry
