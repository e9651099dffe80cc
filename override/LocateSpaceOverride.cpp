#include "override/PoseOverride.h"
#include "override/QuaternionMath.h"

namespace {

XrPosef Inverse(const XrPosef& pose) {
    const XrQuaternionf inverse = Conjugate(pose.orientation);
    const XrVector3f back = Rotate(inverse, pose.position);
    return {inverse, {-back.x, -back.y, -back.z}};
}

}  // namespace

XrResult LocateSpaceAtTrackedPose(MocapTracker& tracker, PFN_xrLocateSpace next, XrSpace space,
                                  XrSpace baseSpace, XrTime time, XrSpaceLocation* location,
                                  DisplayClock clock) {
    const XrResult result = next(space, baseSpace, time, location);
    if (XR_FAILED(result) || location == nullptr ||
        !tracker.options.trackedViewSpace.load(std::memory_order_relaxed)) {
        return result;
    }
    const bool spaceIsView = tracker.viewSpaces.Contains(space);
    if (spaceIsView == tracker.viewSpaces.Contains(baseSpace)) {
        return result;  // neither, or the head against itself: the runtime's answer stands
    }
    // The layer gives the tracked head whatever space it is located in, as xrLocateViews does;
    // a space located in the head is that pose's inverse.
    XrPosef head;
    if (!tracker.initialised.load() ||
        !tracker.TrackedHeadPose(HmdPoseFor(tracker, clock, time), &head)) {
        return result;
    }
    location->pose = spaceIsView ? head : Inverse(head);
    if (TrackingLost(tracker)) {
        MarkUntracked(&location->locationFlags,
                      XrSpaceLocationFlags{XR_SPACE_LOCATION_POSITION_TRACKED_BIT},
                      XrSpaceLocationFlags{XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT});
    }
    return result;
}

XrResult DestroySpaceForgettingViews(MocapTracker& tracker, PFN_xrDestroySpace next,
                                     XrSpace space) {
    const XrResult result = next(space);
    // A handle the runtime refused to destroy is still a VIEW space.
    if (XR_SUCCEEDED(result)) {
        tracker.viewSpaces.Remove(space);
    }
    return result;
}
