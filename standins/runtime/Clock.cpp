#include "standins/runtime/Clock.h"

#include <cerrno>
#include <ctime>

namespace standin {

XrTime MonotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<XrTime>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void SleepUntil(XrTime time) {
    if (time <= 0) {
        return;
    }
    timespec until{};
    until.tv_sec = static_cast<time_t>(time / 1'000'000'000);
    until.tv_nsec = static_cast<long>(time % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace standin
