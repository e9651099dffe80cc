#include "override/PoseHooks.h"

#include "layer/ExceptionGuard.h"
#include "layer/NextFunction.h"

// Pass-through until the pose override lands.
XrResult XRAPI_CALL HookCreateReferenceSpace(XrSession session,
                                             const XrReferenceSpaceCreateInfo* createInfo,
                                             XrSpace* space) {
    static NextFunction<PFN_xrCreateReferenceSpace> next("xrCreateReferenceSpace");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        return function == nullptr ? XR_ERROR_RUNTIME_FAILURE : function(session, createInfo, space);
    });
}

XrResult XRAPI_CALL HookLocateViews(XrSession session, const XrViewLocateInfo* viewLocateInfo,
                                    XrViewState* viewState, uint32_t viewCapacityInput,
                                    uint32_t* viewCountOutput, XrView* views) {
    static NextFunction<PFN_xrLocateViews> next("xrLocateViews");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        return function == nullptr ? XR_ERROR_RUNTIME_FAILURE
                                   : function(session, viewLocateInfo, viewState,
                                              viewCapacityInput, viewCountOutput, views);
    });
}

XrResult XRAPI_CALL HookEndFrame(XrSession session, const XrFrameEndInfo* frameEndInfo) {
    static NextFunction<PFN_xrEndFrame> next("xrEndFrame");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        return function == nullptr ? XR_ERROR_RUNTIME_FAILURE : function(session, frameEndInfo);
    });
}
