#pragma once
// The number arguments of -d, -s and -t, read the way the C library's wcstol
// (base 10) and wcstod read them, but on UTF-16 and independent of the locale:
// leading white space (space, tab, line feed, vertical tab, form feed, carriage
// return), an optional sign, then decimal digits; reading stops at the first
// other character and the rest is ignored ("12kb" reads 12).
//
// Only decimal forms are numbers. "0x10" reads 0 and stops at the x, as the
// decimal prefix of wcstod gives; "inf", "infinity" and "nan" are not numbers.

#include <cstdint>
#include <optional>
#include <string_view>

namespace skerry {

// The integer, clamped to the signed 32-bit range; none when no digit was read.
std::optional<int32_t> ParseDecimalInteger(std::u16string_view text);

// A decimal number with an optional fraction and an optional exponent
// ("2.5", "-.5", "1e3"); none when no digit was read. Values too large for a
// double read as infinity, values too small as zero, as wcstod gives them.
std::optional<double> ParseDecimalReal(std::u16string_view text);

// The FILETIME that lies `days` (its absolute value) before `nowSeconds`
// (seconds since 1970). Computed in 64 bits and saturating, so that it holds
// past 2038 and for every age that can be typed: an age reaching back before
// 1601 gives 0, a time beyond the FILETIME range gives the largest FILETIME.
uint64_t AgeReference(double days, int64_t nowSeconds);

}  // namespace skerry
