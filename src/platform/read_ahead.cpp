#include "platform/read_ahead.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace skerry {
namespace {

// Raw devices want their reads in whole sectors, into memory aligned to them;
// the ring is allocated as a table's chunk is, aligned as a large page, which
// backs it where the system can.
constexpr size_t kSectorMultiple = 512;
// How far ahead of the piece just read a cold disk is asked to read.
constexpr uint64_t kAnnouncedPieces = 8;

size_t WholeSectors(size_t bytes) {
  return (std::max<size_t>(bytes, 1) + kSectorMultiple - 1) / kSectorMultiple * kSectorMultiple;
}

}  // namespace

ReadAhead::ReadAhead(size_t pieceSize, size_t pieceCount)
    : pieceSize_(WholeSectors(pieceSize)),
      pieceCount_(std::max<size_t>(pieceCount, 1)),
      pieces_(static_cast<uint8_t*>(NewChunk(pieceSize_ * pieceCount_))),
      lengths_(pieceCount_) {}

ReadAhead::~ReadAhead() = default;

uint8_t* ReadAhead::Piece(uint64_t index) const {
  return pieces_.get() + index % pieceCount_ * pieceSize_;
}

uint32_t ReadAhead::FetchPiece(BlockDevice& device, uint8_t* buffer, uint64_t offset,
                               uint64_t remaining, uint64_t& announced, ErrorCode& error) const {
  const auto request = static_cast<uint32_t>(std::min<uint64_t>(remaining, pieceSize_));
  uint32_t got = 0;
  if (!device.Seek(offset) || !device.Read(buffer, request, got)) {
    error = device.LastError();
    return 0;
  }
  got = std::min(got, request);
  if (got == 0) {
    error = kErrorHandleEof;
    return 0;
  }
  // On a cold disk the next pieces arrive while this one is worked on: the
  // system is asked for those it has not been asked for yet, a few pieces
  // ahead (one piece ahead left the reads waiting for the disk).
  const uint64_t next = offset + got;
  const uint64_t end = next + std::min<uint64_t>(remaining - got, kAnnouncedPieces * pieceSize_);
  const uint64_t from = std::max(announced, next);
  if (end > from) {
    device.WillRead(from, end - from);
    announced = end;
  }
  return got;
}

ErrorCode ReadAhead::Read(BlockDevice& device, uint64_t offset, uint64_t byteCount,
                          const Take& take) {
  if (pieceCount_ < 2 || byteCount <= pieceSize_) return ReadHere(device, offset, byteCount, take);
  {
    std::lock_guard lock(ring_.lock);
    ring_.fetched = ring_.taken = 0;
    ring_.finished = ring_.stop = false;
    ring_.result = kErrorSuccess;
    ring_.failure = nullptr;
  }
  std::thread fetcher;
  try {
    fetcher = std::thread(&ReadAhead::Fetch, this, std::ref(device), offset, byteCount);
  } catch (const std::system_error&) {
    return ReadHere(device, offset, byteCount, take);
  }
  // The fetcher is stopped and joined however the taking ends.
  struct Joiner {
    Ring& ring;
    std::thread& thread;
    ~Joiner() {
      {
        std::lock_guard lock(ring.lock);
        ring.stop = true;
      }
      ring.changed.notify_all();
      thread.join();
    }
  } joiner{ring_, fetcher};
  return TakeFetched(take);
}

ErrorCode ReadAhead::ReadHere(BlockDevice& device, uint64_t offset, uint64_t byteCount,
                              const Take& take) {
  uint64_t announced = 0;
  while (byteCount > 0) {
    ErrorCode error = kErrorSuccess;
    const uint32_t got = FetchPiece(device, Piece(0), offset, byteCount, announced, error);
    if (got == 0) return error;
    byteCount -= got;
    offset += got;
    take(Piece(0), got);
  }
  return kErrorSuccess;
}

void ReadAhead::Fetch(BlockDevice& device, uint64_t offset, uint64_t byteCount) {
  ErrorCode result = kErrorSuccess;
  std::exception_ptr failure;
  uint64_t announced = 0;
  try {
    for (uint64_t index = 0; byteCount > 0; ++index) {
      {
        std::unique_lock lock(ring_.lock);
        ring_.changed.wait(lock, [&] { return ring_.stop || index - ring_.taken < pieceCount_; });
        if (ring_.stop) return;
      }
      const uint32_t got = FetchPiece(device, Piece(index), offset, byteCount, announced, result);
      if (got == 0) break;
      byteCount -= got;
      offset += got;
      {
        std::lock_guard lock(ring_.lock);
        lengths_[index % pieceCount_] = got;
        ring_.fetched = index + 1;
      }
      ring_.changed.notify_all();
    }
  } catch (...) {
    failure = std::current_exception();
  }
  {
    std::lock_guard lock(ring_.lock);
    ring_.finished = true;
    ring_.result = result;
    ring_.failure = failure;
  }
  ring_.changed.notify_all();
}

ErrorCode ReadAhead::TakeFetched(const Take& take) {
  for (uint64_t index = 0;; ++index) {
    uint32_t length = 0;
    {
      std::unique_lock lock(ring_.lock);
      ring_.changed.wait(lock, [&] { return ring_.fetched > index || ring_.finished; });
      if (ring_.fetched <= index) {
        if (ring_.failure) std::rethrow_exception(ring_.failure);
        return ring_.result;
      }
      length = lengths_[index % pieceCount_];
    }
    take(Piece(index), length);
    {
      std::lock_guard lock(ring_.lock);
      ring_.taken = index + 1;
    }
    ring_.changed.notify_all();
  }
}

}  // namespace skerry
