#pragma once
// Append-only storage for the listing's tables, which grow with the
// volume's records: fixed chunks that are never moved. A vector that doubles
// copies everything it holds each time and touches twice the pages it keeps;
// on the benchmark disk that growth was a quarter of the listing's time.
// Chunks are large pages, aligned as such; a table that outgrows its first
// chunk asks for large pages for the rest, while a small one (a filtered
// listing's, the volume report's) keeps small pages and holds only the
// pages it touches.

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

struct ChunkDelete {
  void operator()(void* chunk) const {
    ::operator delete (chunk, std::align_val_t{kLargePageBytes});
  }
};

// A chunk of `bytes`, never zero-filled (what is read was written first);
// the `index`th of its table.
inline void* NewChunk(size_t bytes, size_t index) {
  void* chunk = ::operator new (bytes, std::align_val_t{kLargePageBytes});
  if (index > 0) AdviseLargePages(chunk, bytes);
  return chunk;
}

template <typename T>
class ChunkedArray {
  static_assert(std::is_trivially_copyable_v<T>);
  static constexpr size_t kPerChunk = kChunkBytes / sizeof(T);

 public:
  void push_back(const T& value) {
    if (size_ == chunks_.size() * kPerChunk) {
      chunks_.emplace_back(static_cast<T*>(NewChunk(kChunkBytes, chunks_.size())));
    }
    chunks_[size_ / kPerChunk][size_ % kPerChunk] = value;
    ++size_;
  }
  const T& operator[](size_t index) const { return chunks_[index / kPerChunk][index % kPerChunk]; }
  T& operator[](size_t index) { return chunks_[index / kPerChunk][index % kPerChunk]; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  std::vector<std::unique_ptr<T[], ChunkDelete>> chunks_;
  size_t size_ = 0;
};

// Texts of at most `maxLength` units each, back to back in chunks; a text
// never straddles two, so each stays one view. A text's place is a 64-bit
// position, which no number of records can wrap.
template <typename Unit>
class ChunkedText {
  static constexpr size_t kChunkUnits = kChunkBytes / sizeof(Unit);

 public:
  explicit ChunkedText(size_t maxLength)
      : chunkUnits_(maxLength > kChunkUnits ? maxLength : kChunkUnits) {}

  // Keeps `text` (cut to the longest length) and returns its position.
  uint64_t Append(std::basic_string_view<Unit> text) {
    if (text.size() > chunkUnits_) text = text.substr(0, chunkUnits_);
    if (chunks_.empty() || used_ + text.size() > chunkUnits_) {
      chunks_.emplace_back(
          static_cast<Unit*>(NewChunk(chunkUnits_ * sizeof(Unit), chunks_.size())));
      used_ = 0;
    }
    text.copy(chunks_.back().get() + used_, text.size());
    const uint64_t position = (chunks_.size() - 1) * chunkUnits_ + used_;
    used_ += text.size();
    return position;
  }
  std::basic_string_view<Unit> View(uint64_t position, size_t length) const {
    // An empty text may have been given a position in no chunk.
    if (length == 0) return {};
    return {chunks_[position / chunkUnits_].get() + position % chunkUnits_, length};
  }

 private:
  size_t chunkUnits_;
  std::vector<std::unique_ptr<Unit[], ChunkDelete>> chunks_;
  size_t used_ = 0;  // in the last chunk
};

}  // namespace skerry
