#pragma once
// The wall clock as libntfs-3g sees it. The library stamps every record it
// creates or changes with the current time; a clock fixed by the description
// keeps the images the same from one build to the next.

#include <cstdint>

namespace skerry::disk_builder {

// FILETIME that the real-time clock reports from now on.
void SetBuildClock(uint64_t fileTime);
uint64_t BuildClock();

}  // namespace skerry::disk_builder
