#pragma once

#include <openxr/openxr.h>

// The OpenXR extension that relates the runtime's XrTime to this system's monotonic clock (the
// clock of platform::MonotonicSeconds), and the conversion through the extension's function.
namespace platform {

extern const char* const kTimeConversionExtension;
extern const char* const kTimeConversionFunction;

// Converts through the extension's function as the runtime returned it; false when it fails.
bool XrTimeToMonotonicSeconds(PFN_xrVoidFunction convert, XrInstance instance, XrTime time,
                              double* seconds);

}  // namespace platform
