#include <cstdio>
#include <ctime>

#include "platform/Platform.h"

namespace platform {

int64_t CoarseWallClockNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void FormatLocalTime(int64_t wallNanoseconds, char (&text)[32]) {
    const std::time_t seconds = static_cast<std::time_t>(wallNanoseconds / 1'000'000'000);
    const int milliseconds = static_cast<int>(wallNanoseconds % 1'000'000'000 / 1'000'000);
    std::tm local{};
    text[0] = '\0';
    if (localtime_r(&seconds, &local) != nullptr) {
        const size_t length = std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
        std::snprintf(text + length, sizeof(text) - length, ".%03d", milliseconds);
    }
}

}  // namespace platform
