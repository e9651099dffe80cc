#include <algorithm>

#include "override/PoseOverride.h"
#include "override/TrackedSpaceLocation.h"

XrResult LocateSpaceAtTrackedPose(MocapTracker& tracker, PFN_xrLocateSpace next, XrSpace space,
                                  XrSpace baseSpace, XrTime time, XrSpaceLocation* location,
                                  DisplayClock clock) {
    const XrResult result = next(space, baseSpace, time, location);
    if (XR_FAILED(result) || location == nullptr ||
        !tracker.options.trackedViewSpace.load(std::memory_order_relaxed)) {
        return result;
    }
    TrackedHeadForCall head(tracker, clock, time);
    TrackSpaceLocation(tracker, head, space, baseSpace, {&location->locationFlags, &location->pose},
                       ChainedSpaceVelocity(location->next));
    return result;
}

XrResult LocateSpacesAtTrackedPose(MocapTracker& tracker, PFN_xrLocateSpaces next,
                                   XrSession session, const XrSpacesLocateInfo* locateInfo,
                                   XrSpaceLocations* spaceLocations, DisplayClock clock) {
    const XrResult result = next(session, locateInfo, spaceLocations);
    if (XR_FAILED(result) || locateInfo == nullptr || locateInfo->spaces == nullptr ||
        spaceLocations == nullptr || spaceLocations->locations == nullptr ||
        !tracker.options.trackedViewSpace.load(std::memory_order_relaxed)) {
        return result;
    }
    XrSpaceVelocities* velocities = ChainedSpaceVelocities(spaceLocations->next);
    TrackedHeadForCall head(tracker, clock, locateInfo->time);
    const uint32_t count = std::min(locateInfo->spaceCount, spaceLocations->locationCount);
    for (uint32_t i = 0; i < count; ++i) {
        XrSpaceLocationData& location = spaceLocations->locations[i];
        TrackSpaceLocation(tracker, head, locateInfo->spaces[i], locateInfo->baseSpace,
                           {&location.locationFlags, &location.pose},
                           SpaceVelocityAt(velocities, i));
    }
    return result;
}

XrResult DestroySpaceForgettingViews(MocapTracker& tracker, PFN_xrDestroySpace next,
                                     XrSpace space) {
    const XrResult result = next(space);
    // A handle the runtime refused to destroy is still a VIEW space.
    if (XR_SUCCEEDED(result)) {
        tracker.viewSpaces.Remove(space);
        tracker.runtimeViewHold.Forget(space);
    }
    return result;
}

XrResult DestroySessionForgettingViews(MocapTracker& tracker, PFN_xrDestroySession next,
                                       XrSession session) {
    const XrResult result = next(session);
    // OpenXR destroys the session's spaces with it, without an xrDestroySpace each.
    if (XR_SUCCEEDED(result)) {
        tracker.viewSpaces.RemoveSession(session);
        tracker.runtimeViewHold.ForgetSession(session);
    }
    return result;
}
