#pragma once
// Append-only storage for the listing's tables, which grow with the
// volume's records: chunks that are never moved. A vector that doubles
// copies everything it holds each time and touches twice the pages it keeps;
// on the benchmark disk that growth was a quarter of the listing's time.
// A table's first chunk is small (64 KiB, small pages), so that a small
// table (a filtered listing's, the volume report's) holds only the pages it
// touches; every later chunk is a large page, aligned as such and advised to
// be backed by one, so that a large table costs a handful of page faults.
// One thread fills a table while others may read what it has published
// (a listing writes lines while the MFT still loads): elements never move,
// and the list of chunks is replaced, never changed under a reader.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/large_pages.h"

namespace skerry {

inline constexpr size_t kChunkBytes = kLargePageBytes;
inline constexpr size_t kFirstChunkBytes = size_t{64} << 10;

struct ChunkDelete {
  void operator()(void* chunk) const {
    ::operator delete (chunk, std::align_val_t{kLargePageBytes});
  }
};

// A chunk of `bytes`, never zero-filled (what is read was written first);
// a large one is advised to be backed by large pages.
inline void* NewChunk(size_t bytes) {
  void* chunk = ::operator new (bytes, std::align_val_t{kLargePageBytes});
  if (bytes >= kChunkBytes) AdviseLargePages(chunk, bytes);
  return chunk;
}

// The addresses of a table's chunks. Only the owner adds to it; another
// thread may look up any chunk the owner published to it (through a lock or
// an atomic it then takes): a list that is full is copied into one twice its
// size, and the old one is kept until the end, for a reader that still holds it.
template <typename T>
class ChunkList {
 public:
  ChunkList() = default;
  ChunkList(const ChunkList&) = delete;
  ChunkList& operator=(const ChunkList&) = delete;
  ~ChunkList() {
    T* const* table = table_.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count_; ++i) ChunkDelete{}(table[i]);
  }

  T* operator[](size_t chunk) const { return table_.load(std::memory_order_acquire)[chunk]; }
  // The owner's side.
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  T* back() const { return (*this)[count_ - 1]; }
  // Takes `chunk` over, freeing it should the list fail to grow.
  void push_back(T* chunk) {
    if (count_ == capacity_) {
      try {
        Grow();
      } catch (...) {
        ChunkDelete{}(chunk);
        throw;
      }
    }
    tables_.back()[count_++] = chunk;
  }

 private:
  void Grow() {
    const size_t capacity = capacity_ == 0 ? 8 : 2 * capacity_;
    auto table = std::make_unique<T*[]>(capacity);
    std::copy_n(table_.load(std::memory_order_relaxed), count_, table.get());
    tables_.push_back(std::move(table));
    capacity_ = capacity;
    table_.store(tables_.back().get(), std::memory_order_release);
  }

  std::atomic<T* const*> table_{nullptr};
  std::vector<std::unique_ptr<T*[]>> tables_;  // the last is table_
  size_t count_ = 0;
  size_t capacity_ = 0;
};

template <typename T>
class ChunkedArray {
  static_assert(std::is_trivially_copyable_v<T>);
  static constexpr size_t kFirstPerChunk = kFirstChunkBytes / sizeof(T);
  static constexpr size_t kPerChunk = kChunkBytes / sizeof(T);

 public:
  void push_back(const T& value) {
    if (size_ == capacity_) {
      const size_t count = chunks_.empty() ? kFirstPerChunk : kPerChunk;
      chunks_.push_back(static_cast<T*>(NewChunk(count * sizeof(T))));
      capacity_ += count;
    }
    (*this)[size_] = value;
    ++size_;
  }
  const T& operator[](size_t index) const {
    if (index < kFirstPerChunk) return chunks_[0][index];
    const size_t later = index - kFirstPerChunk;
    return chunks_[1 + later / kPerChunk][later % kPerChunk];
  }
  T& operator[](size_t index) {
    return const_cast<T&>(static_cast<const ChunkedArray&>(*this)[index]);
  }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  ChunkList<T> chunks_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Texts of at most `maxLength` units each, back to back in chunks; a text
// never straddles two, so each stays one view. A text's place is a 64-bit
// position, which no number of records can wrap.
template <typename Unit>
class ChunkedText {
 public:
  explicit ChunkedText(size_t maxLength)
      : firstUnits_(std::max(maxLength, kFirstChunkBytes / sizeof(Unit))),
        chunkUnits_(std::max(maxLength, kChunkBytes / sizeof(Unit))) {}

  // Keeps `text` (cut to the longest length) and returns its position.
  uint64_t Append(std::basic_string_view<Unit> text) {
    if (text.size() > firstUnits_) text = text.substr(0, firstUnits_);
    if (chunks_.empty() || used_ + text.size() > ChunkUnits(chunks_.size() - 1)) {
      const size_t units = ChunkUnits(chunks_.size());
      chunks_.push_back(static_cast<Unit*>(NewChunk(units * sizeof(Unit))));
      used_ = 0;
    }
    text.copy(chunks_.back() + used_, text.size());
    const uint64_t position = ChunkStart(chunks_.size() - 1) + used_;
    used_ += text.size();
    return position;
  }
  std::basic_string_view<Unit> View(uint64_t position, size_t length) const {
    // An empty text may have been given a position in no chunk.
    if (length == 0) return {};
    if (position < firstUnits_) return {chunks_[0] + position, length};
    const uint64_t later = position - firstUnits_;
    return {chunks_[1 + later / chunkUnits_] + later % chunkUnits_, length};
  }

 private:
  size_t ChunkUnits(size_t chunk) const { return chunk == 0 ? firstUnits_ : chunkUnits_; }
  uint64_t ChunkStart(size_t chunk) const {
    return chunk == 0 ? 0 : firstUnits_ + (chunk - 1) * uint64_t{chunkUnits_};
  }

  size_t firstUnits_;  // never more than chunkUnits_, so any text fits a later chunk
  size_t chunkUnits_;
  ChunkList<Unit> chunks_;
  size_t used_ = 0;  // in the last chunk
};

}  // namespace skerry
