#include "platform/clock.h"

#include <chrono>
#include <utility>

namespace skerry {
namespace {

std::function<int64_t()>& InjectedClock() {
  static std::function<int64_t()> clock;
  return clock;
}

}  // namespace

int64_t CurrentUnixSeconds() {
  if (const auto& clock = InjectedClock()) return clock();
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void SetClockForTesting(std::function<int64_t()> clock) { InjectedClock() = std::move(clock); }

}  // namespace skerry
