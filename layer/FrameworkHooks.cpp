#include "layer/FrameworkHooks.h"

#include "layer/ExceptionGuard.h"
#include "layer/OpenXRLayer.h"
#include "tracking/MocapTracker.h"

// The loader creates instances through the creation entry, never through this function.
XrResult XRAPI_CALL HookCreateInstance(const XrInstanceCreateInfo* /*createInfo*/,
                                       XrInstance* /*instance*/) {
    return XR_SUCCESS;
}

XrResult XRAPI_CALL HookDestroyInstance(XrInstance instance) {
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const OpenXRLayer* layer = OpenXRLayer::Find();
        const auto next = layer == nullptr ? nullptr
                                           : reinterpret_cast<PFN_xrDestroyInstance>(
                                                 layer->GetNextFunction("xrDestroyInstance"));
        // The layer object goes first, so a later instance can build a fresh one.
        OpenXRLayer::Destroy();
        // The instance's spaces go with it; a later instance's runtime may reuse their handles.
        MocapTracker::Instance().viewSpaces.Clear();
        MocapTracker::Instance().runtimeViewHold.Clear();
        if (next == nullptr) {
            return XR_ERROR_HANDLE_INVALID;
        }
        return next(instance);
    });
}
