#include "layer/PoseHooks.h"

#include "layer/DisplayClock.h"
#include "layer/ExceptionGuard.h"
#include "layer/NextFunction.h"
#include "override/PoseOverride.h"

// Each hook forwards to the next element of the current instance; with none it has nothing to
// call and fails. Exceptions end as a log line and XR_ERROR_RUNTIME_FAILURE.

XrResult XRAPI_CALL HookCreateReferenceSpace(XrSession session,
                                             const XrReferenceSpaceCreateInfo* createInfo,
                                             XrSpace* space) {
    static NextFunction<PFN_xrCreateReferenceSpace> next("xrCreateReferenceSpace");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        if (function == nullptr) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        return CreateReferenceSpaceAtTrackedPose(MocapTracker::Instance(), function,
                                                 &PauseOneHundredMilliseconds, session, createInfo,
                                                 space);
    });
}

XrResult XRAPI_CALL HookLocateViews(XrSession session, const XrViewLocateInfo* viewLocateInfo,
                                    XrViewState* viewState, uint32_t viewCapacityInput,
                                    uint32_t* viewCountOutput, XrView* views) {
    static NextFunction<PFN_xrLocateViews> next("xrLocateViews");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        if (function == nullptr) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        return LocateViewsAtTrackedPose(MocapTracker::Instance(), function, session, viewLocateInfo,
                                        viewState, viewCapacityInput, viewCountOutput, views,
                                        &LayerDisplayClock);
    });
}

XrResult XRAPI_CALL HookEndFrame(XrSession session, const XrFrameEndInfo* frameEndInfo) {
    static NextFunction<PFN_xrEndFrame> next("xrEndFrame");
    // Fetched only once the runtime's-views option asks for it.
    static NextFunction<PFN_xrLocateViews> runtimeViews("xrLocateViews");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        if (function == nullptr) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        MocapTracker& tracker = MocapTracker::Instance();
        return EndFrameAtTrackedPose(
            tracker, function, session, frameEndInfo, &LayerDisplayClock,
            tracker.options.submitRuntimeViews.load() ? runtimeViews.Get() : nullptr);
    });
}

XrResult XRAPI_CALL HookLocateSpace(XrSpace space, XrSpace baseSpace, XrTime time,
                                    XrSpaceLocation* location) {
    static NextFunction<PFN_xrLocateSpace> next("xrLocateSpace");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        if (function == nullptr) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        return LocateSpaceAtTrackedPose(MocapTracker::Instance(), function, space, baseSpace, time,
                                        location, &LayerDisplayClock);
    });
}

namespace {

// The two batch functions differ only in the name of the next element's implementation.
XrResult LocateSpacesThrough(NextFunction<PFN_xrLocateSpaces>& next, XrSession session,
                             const XrSpacesLocateInfo* locateInfo,
                             XrSpaceLocations* spaceLocations) {
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        if (function == nullptr) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        return LocateSpacesAtTrackedPose(MocapTracker::Instance(), function, session, locateInfo,
                                         spaceLocations, &LayerDisplayClock);
    });
}

}  // namespace

XrResult XRAPI_CALL HookLocateSpaces(XrSession session, const XrSpacesLocateInfo* locateInfo,
                                     XrSpaceLocations* spaceLocations) {
    static NextFunction<PFN_xrLocateSpaces> next("xrLocateSpaces");
    return LocateSpacesThrough(next, session, locateInfo, spaceLocations);
}

XrResult XRAPI_CALL HookLocateSpacesKHR(XrSession session, const XrSpacesLocateInfo* locateInfo,
                                        XrSpaceLocations* spaceLocations) {
    static NextFunction<PFN_xrLocateSpaces> next("xrLocateSpacesKHR");
    return LocateSpacesThrough(next, session, locateInfo, spaceLocations);
}

XrResult XRAPI_CALL HookDestroySpace(XrSpace space) {
    static NextFunction<PFN_xrDestroySpace> next("xrDestroySpace");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        if (function == nullptr) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        return DestroySpaceForgettingViews(MocapTracker::Instance(), function, space);
    });
}

XrResult XRAPI_CALL HookDestroySession(XrSession session) {
    static NextFunction<PFN_xrDestroySession> next("xrDestroySession");
    return CallGuarded(XR_ERROR_RUNTIME_FAILURE, [&] {
        const auto function = next.Get();
        if (function == nullptr) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        return DestroySessionForgettingViews(MocapTracker::Instance(), function, session);
    });
}
