#pragma once
// What each backend supplies for the standard wide streams: the buffer that
// writes one of them to the operating system.

#include <cstddef>
#include <memory>
#include <streambuf>

namespace skerry {

enum class StandardStream { kOutput, kError };

std::unique_ptr<std::wstreambuf> MakeStandardStreamBuffer(StandardStream which, size_t capacity);

}  // namespace skerry
