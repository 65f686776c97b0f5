#pragma once
// A map from 64-bit keys (record numbers, file references) to 32-bit values,
// kept in one flat array probed in place: a lookup costs one cache line in
// the common case, where a node-based map costs one per node. Memory grows
// with the keys held, never with the volume's records.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/chunked_array.h"
#include "platform/prefetch.h"

namespace skerry {

class ReferenceIndex {
 public:
  // The value of `key`; null when it has none. Valid until the next Insert.
  const uint32_t* Find(uint64_t key) const {
    if (capacity_ == 0) return nullptr;
    const Slot& slot = slots_[Probe(key)];
    return slot.used ? &slot.value : nullptr;
  }
  // Asks the processor to bring in the line where a lookup of `key` starts.
  void Prefetch(uint64_t key) const {
    if (capacity_ != 0) PrefetchLine(&slots_[Home(key)]);
  }
  // Makes room for `count` keys in all, so that holding them moves nothing.
  void Reserve(size_t count) {
    size_t capacity = kFirstCapacity;
    while (capacity < 2 * count) capacity *= 2;
    if (capacity > capacity_) Rehash(capacity);
  }
  // The value of `key`, which gets `value` when it has none. Valid until the
  // next Insert.
  uint32_t& Insert(uint64_t key, uint32_t value) {
    if (2 * (used_ + 1) > capacity_) Grow();
    Slot& slot = slots_[Probe(key)];
    if (!slot.used) {
      slot = Slot{key, value, true};
      ++used_;
    }
    return slot.value;
  }

 private:
  struct Slot {
    uint64_t key = 0;
    uint32_t value = 0;
    bool used = false;
  };
  static constexpr size_t kFirstCapacity = 1024;  // a power of two

  // The slot of `key`, or the empty one where it would go (linear probing;
  // the array is at most half full).
  size_t Home(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (capacity_ - 1);
  }
  size_t Probe(uint64_t key) const {
    const size_t mask = capacity_ - 1;
    size_t at = Home(key);
    while (slots_[at].used && slots_[at].key != key) at = (at + 1) & mask;
    return at;
  }
  void Grow() { Rehash(capacity_ == 0 ? kFirstCapacity : 2 * capacity_); }
  // The slots are a chunk: one that fills large pages is advised to be
  // backed by them, as the listing's tables are.
  void Rehash(size_t capacity) {
    std::unique_ptr<Slot[], ChunkDelete> old(static_cast<Slot*>(NewChunk(capacity * sizeof(Slot))));
    std::uninitialized_fill_n(old.get(), capacity, Slot{});
    old.swap(slots_);
    const size_t oldCapacity = capacity_;
    capacity_ = capacity;
    used_ = 0;
    for (size_t i = 0; i < oldCapacity; ++i) {
      if (old[i].used) Insert(old[i].key, old[i].value);
    }
  }

  std::unique_ptr<Slot[], ChunkDelete> slots_;
  size_t capacity_ = 0;  // a power of two, or 0
  size_t used_ = 0;
};

}  // namespace skerry
