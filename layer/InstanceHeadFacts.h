#pragma once

#include <openxr/openxr.h>

#include "layer/LoaderInterface.h"

// Records in the log file's head which application created the instance and on which runtime:
// a log sent by a user then says what the layer ran between. The runtime is asked through the
// next element once, at instance creation; a runtime that cannot tell is said to have not told.
void LogApplicationAndRuntime(const XrInstanceCreateInfo& info,
                              PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr,
                              XrInstance instance) noexcept;
