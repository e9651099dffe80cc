#include <windows.h>

#include <cstdio>
#include <ctime>

#include "platform/Platform.h"

namespace platform {

namespace {

// From 1601-01-01, where file times count in 100 ns steps, to 1970-01-01.
constexpr int64_t kFileTimeAt1970 = 116444736000000000;

}  // namespace

int64_t CoarseWallClockNanoseconds() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const int64_t ticks =
        static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return (ticks - kFileTimeAt1970) * 100;
}

void FormatLocalTime(int64_t wallNanoseconds, char (&text)[32]) {
    const std::time_t seconds = static_cast<std::time_t>(wallNanoseconds / 1'000'000'000);
    const int milliseconds = static_cast<int>(wallNanoseconds % 1'000'000'000 / 1'000'000);
    std::tm local{};
    text[0] = '\0';
    if (localtime_s(&local, &seconds) == 0) {
        const size_t length = std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
        std::snprintf(text + length, sizeof(text) - length, ".%03d", milliseconds);
    }
}

}  // namespace platform
