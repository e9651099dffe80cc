#include <chrono>
#include <thread>

#include "platform/Platform.h"

namespace platform {

void SleepUntilMonotonicNanoseconds(int64_t time) {
    // Windows has no absolute sleep on the performance counter: sleep for what is left until the
    // counter gets there, again if the sleep came back early.
    for (int64_t now = MonotonicNanoseconds(); now < time; now = MonotonicNanoseconds()) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(time - now));
    }
}

}  // namespace platform
