#pragma once

#include <openxr/openxr.h>

#include <vector>

#include "layer/LoaderInterface.h"
#include "layer/OpenXRLayer.h"
#include "tracking/LayerOptions.h"

// The hooks that only the options ask for, beyond the five of BuildHookList.
std::vector<HookEntry> OptionalHookList(const LayerOptions& options);

// Creates the rest of the chain. With prediction on, the time-conversion extension is asked for
// on the application's behalf; should that creation fail for any reason, the rest of the chain
// gets the application's own request once more.
// `timeConversion` says whether the created instance has the extension.
XrResult CreateNextInstance(const LayerOptions& options, PFN_xrCreateApiLayerInstance next,
                            const XrInstanceCreateInfo& application,
                            const XrApiLayerCreateInfo& nextCreateInfo, XrInstance* instance,
                            bool* timeConversion);
