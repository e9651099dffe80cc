#include "standins/runtime/Clock.h"

#include "platform/Platform.h"

namespace standin {

XrTime MonotonicNow() {
    return platform::MonotonicNanoseconds();
}

void SleepUntil(XrTime time) {
    platform::SleepUntilMonotonicNanoseconds(time);
}

}  // namespace standin
