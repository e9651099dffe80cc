#pragma once

#include <openxr/openxr.h>

// The two hooks that belong to the layer framework itself.
XrResult XRAPI_CALL HookCreateInstance(const XrInstanceCreateInfo* createInfo,
                                       XrInstance* instance);
XrResult XRAPI_CALL HookDestroyInstance(XrInstance instance);
