#pragma once
// Advice for memory that a program fills and reads at random for the whole of
// its run, the listing's tables: backed by large pages, a table of tens of
// MiB costs a handful of page faults and TLB entries instead of thousands,
// which on a virtual machine are each expensive.

#include <cstddef>

namespace skerry {

// The size and alignment of a large page (x86-64: 2 MiB).
inline constexpr size_t kLargePageBytes = size_t{2} << 20;

// Asks that `bytes` at `block` (aligned to kLargePageBytes, not yet touched)
// be backed by large pages where the system has them to spare. Only advice:
// a system that cannot take it backs the block with small pages.
void AdviseLargePages(void* block, size_t bytes);

}  // namespace skerry
