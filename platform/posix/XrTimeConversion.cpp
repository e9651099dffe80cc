#include "platform/XrTimeConversion.h"

#include <ctime>

#define XR_USE_TIMESPEC
#include <openxr/openxr_platform.h>

namespace platform {

const char* const kTimeConversionExtension = XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME;
const char* const kTimeConversionFunction = "xrConvertTimeToTimespecTimeKHR";

bool XrTimeToMonotonicSeconds(PFN_xrVoidFunction convert, XrInstance instance, XrTime time,
                              double* seconds) {
    timespec converted{};
    if (XR_FAILED(reinterpret_cast<PFN_xrConvertTimeToTimespecTimeKHR>(convert)(instance, time,
                                                                                &converted))) {
        return false;
    }
    *seconds =
        static_cast<double>(converted.tv_sec) + static_cast<double>(converted.tv_nsec) * 1e-9;
    return true;
}

}  // namespace platform
