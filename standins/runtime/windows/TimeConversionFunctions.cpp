#include <limits>

#include "standins/runtime/Functions.h"

// XR_KHR_win32_convert_performance_counter_time. This runtime's XrTime is the performance counter
// in nanoseconds, as platform::MonotonicNanoseconds reads it: whole seconds of the counter and the
// remainder's nanoseconds rounded down. The conversion back rounds up, so that a counter value
// survives the round trip, and so does every XrTime the runtime hands out.
namespace standin {
namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr int64_t kLargest = std::numeric_limits<int64_t>::max();

bool CounterFrequency(int64_t* frequency) {
    LARGE_INTEGER value{};
    if (!QueryPerformanceFrequency(&value) || value.QuadPart <= 0) {
        return false;
    }
    *frequency = value.QuadPart;
    return true;
}

}  // namespace

XrResult XRAPI_CALL ConvertWin32PerformanceCounterToTimeKHR(XrInstance instance,
                                                            const LARGE_INTEGER* performanceCounter,
                                                            XrTime* time) {
    if (const XrResult result = CheckTimeConversionInstance(instance); XR_FAILED(result)) {
        return result;
    }
    if (performanceCounter == nullptr || time == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    int64_t frequency = 0;
    if (!CounterFrequency(&frequency)) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    const int64_t counter = performanceCounter->QuadPart;
    if (counter <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    // Apart, as in platform::MonotonicNanoseconds, so that no product overflows.
    const int64_t seconds = counter / frequency;
    const int64_t remainder = counter % frequency;
    if (seconds > (kLargest - kNanosecondsPerSecond) / kNanosecondsPerSecond) {
        return XR_ERROR_TIME_INVALID;
    }
    const XrTime converted =
        seconds * kNanosecondsPerSecond + remainder * kNanosecondsPerSecond / frequency;
    if (converted <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    *time = converted;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL ConvertTimeToWin32PerformanceCounterKHR(XrInstance instance, XrTime time,
                                                            LARGE_INTEGER* performanceCounter) {
    if (const XrResult result = CheckTimeConversionInstance(instance); XR_FAILED(result)) {
        return result;
    }
    if (performanceCounter == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    int64_t frequency = 0;
    if (!CounterFrequency(&frequency)) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    if (time <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    const int64_t seconds = time / kNanosecondsPerSecond;
    const int64_t nanoseconds = time % kNanosecondsPerSecond;
    // The remainder's ticks, rounded up, with the frequency split into whole gigahertz and the
    // rest so that each product stays below 10^18.
    const int64_t wholeGigahertz = frequency / kNanosecondsPerSecond;
    const int64_t restHertz = frequency % kNanosecondsPerSecond;
    const int64_t remainderTicks =
        nanoseconds * wholeGigahertz +
        (nanoseconds * restHertz + kNanosecondsPerSecond - 1) / kNanosecondsPerSecond;
    if (seconds > (kLargest - remainderTicks) / frequency) {
        return XR_ERROR_TIME_INVALID;
    }
    performanceCounter->QuadPart = seconds * frequency + remainderTicks;
    return XR_SUCCESS;
}

}  // namespace standin
