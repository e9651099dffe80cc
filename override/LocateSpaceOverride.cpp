#include <optional>

#include "override/PoseOverride.h"
#include "override/QuaternionMath.h"

namespace {

XrPosef Inverse(const XrPosef& pose) {
    const XrQuaternionf inverse = Conjugate(pose.orientation);
    const XrVector3f back = Rotate(inverse, pose.position);
    return {inverse, {-back.x, -back.y, -back.z}};
}

// The pose b given in a's frame, in a's parent frame.
XrPosef Compose(const XrPosef& a, const XrPosef& b) {
    const XrVector3f turned = Rotate(a.orientation, b.position);
    return {Multiply(a.orientation, b.orientation),
            {a.position.x + turned.x, a.position.y + turned.y, a.position.z + turned.z}};
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
    const std::optional<XrPosef> spaceInHead = tracker.viewSpaces.Find(space);
    const std::optional<XrPosef> baseInHead = tracker.viewSpaces.Find(baseSpace);
    if (!spaceInHead && !baseInHead) {
        return result;
    }
    if (spaceInHead && baseInHead) {
        // Both move with the head: only the poses the application gave them count.
        location->pose = Compose(Inverse(*baseInHead), *spaceInHead);
        return result;
    }
    // The layer gives the tracked head whatever space it is located in, as xrLocateViews does; a
    // VIEW space sits at the pose in the head the application created it with.
    XrPosef head;
    if (!tracker.initialised.load() ||
        !tracker.TrackedHeadPose(HmdPoseFor(tracker, clock, time), &head)) {
        return result;
    }
    location->pose =
        spaceInHead ? Compose(head, *spaceInHead) : Inverse(Compose(head, *baseInHead));
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

XrResult DestroySessionForgettingViews(MocapTracker& tracker, PFN_xrDestroySession next,
                                       XrSession session) {
    const XrResult result = next(session);
    // OpenXR destroys the session's spaces with it, without an xrDestroySpace each.
    if (XR_SUCCEEDED(result)) {
        tracker.viewSpaces.RemoveSession(session);
    }
    return result;
}
