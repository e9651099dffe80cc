#pragma once

#include <openxr/openxr.h>

namespace standin {

// XrTime of this runtime: nanoseconds on the monotonic performance counter (CLOCK_MONOTONIC on
// Linux, QueryPerformanceCounter on Windows), the clock the simulator and the demo share.
XrTime MonotonicNow();

// Sleeps until the monotonic clock reaches `time` (returns at once if it has passed).
void SleepUntil(XrTime time);

}  // namespace standin
