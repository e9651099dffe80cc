#include <windows.h>

#include "platform/Platform.h"

namespace platform {

int64_t MonotonicNanoseconds() {
    LARGE_INTEGER counter{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    // Whole seconds and the remainder apart, so that the product cannot overflow.
    const int64_t seconds = counter.QuadPart / frequency.QuadPart;
    const int64_t remainder = counter.QuadPart % frequency.QuadPart;
    return seconds * 1'000'000'000 + remainder * 1'000'000'000 / frequency.QuadPart;
}

}  // namespace platform
