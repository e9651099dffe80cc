#include <limits>

#include "standins/runtime/Functions.h"

// XR_KHR_convert_timespec_time. This runtime's XrTime is CLOCK_MONOTONIC in nanoseconds (Clock.h),
// so the conversion keeps the instant and changes only the form.
namespace standin {
namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

XrResult XRAPI_CALL ConvertTimespecTimeToTimeKHR(XrInstance instance, const timespec* timespecTime,
                                                 XrTime* time) {
    if (const XrResult result = CheckTimeConversionInstance(instance); XR_FAILED(result)) {
        return result;
    }
    if (timespecTime == nullptr || time == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    // An XrTime is positive and fits 64 bits; a timespec whose nanoseconds are out of their
    // range names no instant.
    constexpr int64_t kLatestSecond =
        std::numeric_limits<XrTime>::max() / kNanosecondsPerSecond - 1;
    if (timespecTime->tv_nsec < 0 || timespecTime->tv_nsec >= kNanosecondsPerSecond ||
        timespecTime->tv_sec < 0 || timespecTime->tv_sec > kLatestSecond) {
        return XR_ERROR_TIME_INVALID;
    }
    const XrTime converted =
        static_cast<XrTime>(timespecTime->tv_sec) * kNanosecondsPerSecond + timespecTime->tv_nsec;
    if (converted <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    *time = converted;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL ConvertTimeToTimespecTimeKHR(XrInstance instance, XrTime time,
                                                 timespec* timespecTime) {
    if (const XrResult result = CheckTimeConversionInstance(instance); XR_FAILED(result)) {
        return result;
    }
    if (timespecTime == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (time <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    timespecTime->tv_sec = static_cast<time_t>(time / kNanosecondsPerSecond);
    timespecTime->tv_nsec = static_cast<long>(time % kNanosecondsPerSecond);
    return XR_SUCCESS;
}

}  // namespace standin
