#include "log/LogLine.h"
#include "override/PoseOverride.h"

XrResult LocateViewsAtTrackedPose(MocapTracker& tracker, PFN_xrLocateViews next, XrSession session,
                                  const XrViewLocateInfo* viewLocateInfo, XrViewState* viewState,
                                  uint32_t viewCapacityInput, uint32_t* viewCountOutput,
                                  XrView* views) {
    const XrResult result =
        next(session, viewLocateInfo, viewState, viewCapacityInput, viewCountOutput, views);
    if (XR_FAILED(result) || viewCapacityInput == 0 || viewLocateInfo == nullptr ||
        viewLocateInfo->viewConfigurationType != XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO) {
        return result;
    }
    // Two views must really be there before they are written.
    if (viewCapacityInput < 2 || viewCountOutput == nullptr || *viewCountOutput < 2 ||
        views == nullptr) {
        return result;
    }
    if (!tracker.initialised.load()) {
        try {
            tracker.Initialise();
        } catch (const std::exception& error) {
            // A bad configuration must not cost the application its views: keep the runtime's.
            LogLine() << error.what() << '\n';
            return result;
        }
    }
    tracker.OverrideViewPoses(views[0].pose, views[1].pose);
    return result;
}
