#pragma once
// The current time, injectable so that age filters can be tested without sleeping.

#include <cstdint>
#include <functional>

namespace skerry {

// Whole seconds since 1970-01-01 UTC, 64-bit (holds past 2038).
int64_t CurrentUnixSeconds();

// Replaces the clock for tests; an empty function restores the system clock.
void SetClockForTesting(std::function<int64_t()> clock);

// FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
inline constexpr int64_t kUnixEpochAsFileTimeSeconds = 11644473600;
inline constexpr int64_t kFileTimeTicksPerSecond = 10000000;

}  // namespace skerry
