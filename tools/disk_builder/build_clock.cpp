#include "build_clock.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace skerry::disk_builder {
namespace {

constexpr int64_t kUnixEpochAsFileTime = 116444736000000000;
constexpr int64_t kTicksPerSecond = 10'000'000;

uint64_t buildClock = static_cast<uint64_t>(kUnixEpochAsFileTime);

}  // namespace

void SetBuildClock(uint64_t fileTime) { buildClock = fileTime; }
uint64_t BuildClock() { return buildClock; }

}  // namespace skerry::disk_builder

// These definitions take the place of the C library's for the whole program,
// libntfs-3g included (a definition in the executable comes first in symbol
// lookup). Only the real-time clock is fixed; the other clocks stay real.
extern "C" int clock_gettime(clockid_t clock, struct timespec* value) noexcept {
  if (clock != CLOCK_REALTIME && clock != CLOCK_REALTIME_COARSE) {
    return static_cast<int>(syscall(SYS_clock_gettime, clock, value));
  }
  const int64_t sinceEpoch = static_cast<int64_t>(skerry::disk_builder::buildClock) -
                             skerry::disk_builder::kUnixEpochAsFileTime;
  int64_t seconds = sinceEpoch / skerry::disk_builder::kTicksPerSecond;
  int64_t ticks = sinceEpoch % skerry::disk_builder::kTicksPerSecond;
  if (ticks < 0) {
    ticks += skerry::disk_builder::kTicksPerSecond;
    --seconds;
  }
  value->tv_sec = static_cast<time_t>(seconds);
  value->tv_nsec = static_cast<long>(ticks * 100);
  return 0;
}

extern "C" time_t time(time_t* result) noexcept {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  if (result) *result = now.tv_sec;
  return now.tv_sec;
}
