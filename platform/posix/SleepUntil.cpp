#include <cerrno>
#include <ctime>

#include "platform/Platform.h"

namespace platform {

void SleepUntilMonotonicNanoseconds(int64_t time) {
    if (time <= 0) {
        return;
    }
    timespec until{};
    until.tv_sec = static_cast<time_t>(time / 1'000'000'000);
    until.tv_nsec = static_cast<long>(time % 1'000'000'000);
    // An absolute deadline: a signal that interrupts the sleep does not stretch it.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace platform
