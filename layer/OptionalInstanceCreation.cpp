#include "layer/OptionalInstanceCreation.h"

#include <cstring>

#include "layer/PoseHooks.h"
#include "platform/XrTimeConversion.h"

std::vector<HookEntry> OptionalHookList(const LayerOptions& options) {
    if (!options.trackedViewSpace) {
        return {};
    }
    return {
        {"xrLocateSpace", reinterpret_cast<PFN_xrVoidFunction>(&HookLocateSpace)},
        {"xrDestroySpace", reinterpret_cast<PFN_xrVoidFunction>(&HookDestroySpace)},
        {"xrDestroySession", reinterpret_cast<PFN_xrVoidFunction>(&HookDestroySession)},
        {"xrLocateSpaces", reinterpret_cast<PFN_xrVoidFunction>(&HookLocateSpaces), nullptr, true},
        {"xrLocateSpacesKHR", reinterpret_cast<PFN_xrVoidFunction>(&HookLocateSpacesKHR), nullptr,
         true},
    };
}

XrResult CreateNextInstance(const LayerOptions& options, PFN_xrCreateApiLayerInstance next,
                            const XrInstanceCreateInfo& application,
                            const XrApiLayerCreateInfo& nextCreateInfo, XrInstance* instance,
                            bool* timeConversion) {
    *timeConversion = false;
    if (!options.predictDisplayTime) {
        return next(&application, &nextCreateInfo, instance);
    }
    std::vector<const char*> names(
        application.enabledExtensionNames,
        application.enabledExtensionNames + application.enabledExtensionCount);
    bool asked = false;
    for (const char* name : names) {
        asked = asked || std::strcmp(name, platform::kTimeConversionExtension) == 0;
    }
    if (asked) {
        const XrResult result = next(&application, &nextCreateInfo, instance);
        *timeConversion = XR_SUCCEEDED(result);
        return result;
    }
    names.push_back(platform::kTimeConversionExtension);
    XrInstanceCreateInfo extended = application;
    extended.enabledExtensionCount = static_cast<uint32_t>(names.size());
    extended.enabledExtensionNames = names.data();

    XrInstance attempt = *instance;
    const XrResult result = next(&extended, &nextCreateInfo, &attempt);
    if (XR_SUCCEEDED(result)) {
        *timeConversion = true;
        *instance = attempt;
        return result;
    }
    // Whatever the refusal (a runtime or layer below may not say EXTENSION_NOT_PRESENT), the
    // option must not cost the application its instance: ask again exactly as it asked.
    return next(&application, &nextCreateInfo, instance);
}
