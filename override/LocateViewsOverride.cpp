#include "log/LogLine.h"
#include "override/PoseOverride.h"

XrResult LocateViewsAtTrackedPose(MocapTracker& tracker, PFN_xrLocateViews next, XrSession session,
                                  const XrViewLocateInfo* viewLocateInfo, XrViewState* viewState,
                                  uint32_t viewCapacityInput, uint32_t* viewCountOutput,
                                  XrView* views, DisplayClock clock) {
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
    const HmdPose pose = HmdPoseFor(tracker, clock, viewLocateInfo->displayTime);
    tracker.OverrideViewPoses(views[0].pose, views[1].pose, pose);
    if (pose.valid && viewState != nullptr && TrackingLost(tracker)) {
        MarkUntracked(&viewState->viewStateFlags,
                      XrViewStateFlags{XR_VIEW_STATE_POSITION_TRACKED_BIT},
                      XrViewStateFlags{XR_VIEW_STATE_ORIENTATION_TRACKED_BIT});
    }
    return result;
}
