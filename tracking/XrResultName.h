#pragma once

#include <openxr/openxr.h>

// The name of a core XrResult, such as "XR_ERROR_SESSION_LOST", for the log file beside the bare
// number; results outside the core set get a fixed text.
const char* XrResultName(XrResult result) noexcept;
