#pragma once
// The two listing values that follow the locale: a size with the user's digit
// grouping, and a time stamp as a local date and time of day.

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "platform/locale_format.h"

namespace skerry {

// The listing's size buffer: grouped text up to 14 digits (99,999,999,999,999
// with one-character separators) fits in it.
inline constexpr size_t kNumberBufferCapacity = 20;

// The user's number format, read from the locale at first use and kept for the
// life of the process.
const NumberFormat& LocaleNumberFormat();

// Writes `value` into `buffer` (`capacity` wide characters, terminator
// included) with the user's digit grouping and negative-number order, and
// returns `buffer`. The grouped text must fit in `capacity` - 1 characters,
// terminator included; when it does not, the buffer keeps the plain digits
// ("-" and decimal digits). When even those do not fit (a value below
// -999,999,999,999,999,999 in a buffer of 20), the buffer is left empty rather
// than holding a cut number.
wchar_t* FormatNumber(wchar_t* buffer, size_t capacity, int64_t value);

// Writes a FILETIME (UTC) as local date and time: the date (MM/dd/yyyy) right-
// aligned in 10 characters, a space, and the time of day without seconds right-
// aligned in 9 (a longer time is written whole). A stamp that cannot be
// converted writes the fill alone: 10 spaces, a space and 9 spaces.
std::wostream& WriteFileTime(std::wostream& stream, uint64_t fileTime);

}  // namespace skerry
