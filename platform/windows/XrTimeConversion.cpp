#include <windows.h>

#include "platform/XrTimeConversion.h"

#define XR_USE_PLATFORM_WIN32
#include <openxr/openxr_platform.h>

namespace platform {

const char* const kTimeConversionExtension =
    XR_KHR_WIN32_CONVERT_PERFORMANCE_COUNTER_TIME_EXTENSION_NAME;
const char* const kTimeConversionFunction = "xrConvertTimeToWin32PerformanceCounterKHR";

bool XrTimeToMonotonicSeconds(PFN_xrVoidFunction convert, XrInstance instance, XrTime time,
                              double* seconds) {
    LARGE_INTEGER counter{};
    LARGE_INTEGER frequency{};
    if (XR_FAILED(reinterpret_cast<PFN_xrConvertTimeToWin32PerformanceCounterKHR>(convert)(
            instance, time, &counter)) ||
        !QueryPerformanceFrequency(&frequency)) {
        return false;
    }
    *seconds = static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
    return true;
}

}  // namespace platform
