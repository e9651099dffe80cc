#pragma once

#include <openxr/openxr.h>

#include "override/TrackedPoseAt.h"
#include "platform/LocateSpacesDeclarations.h"
#include "tracking/MocapTracker.h"

// The logic of the three pose hooks, on a given tracker and next function. The hooks in
// PoseHooks.h bind them to the process-wide tracker and the layer's next functions.

// Pauses between two looks at the pose store while a reference space waits for the headset.
using WaitPause = void (*)();
void PauseOneHundredMilliseconds();

XrResult CreateReferenceSpaceAtTrackedPose(MocapTracker& tracker, PFN_xrCreateReferenceSpace next,
                                           WaitPause pause, XrSession session,
                                           const XrReferenceSpaceCreateInfo* createInfo,
                                           XrSpace* space);

// `clock` serves the prediction option; null where the application's times cannot be converted.
XrResult LocateViewsAtTrackedPose(MocapTracker& tracker, PFN_xrLocateViews next, XrSession session,
                                  const XrViewLocateInfo* viewLocateInfo, XrViewState* viewState,
                                  uint32_t viewCapacityInput, uint32_t* viewCountOutput,
                                  XrView* views, DisplayClock clock = nullptr);

// With `runtimeViews` (the next element's xrLocateViews, given while the runtime's-views option is
// on), stereo layers carry the runtime's own views of the frame; should the runtime not give
// both, that layer carries the last good ones for a few frames, and then the tracked views, as
// without the option (RuntimeViewHold.h). Each switch is noted in the log file.
XrResult EndFrameAtTrackedPose(MocapTracker& tracker, PFN_xrEndFrame next, XrSession session,
                               const XrFrameEndInfo* frameEndInfo, DisplayClock clock = nullptr,
                               PFN_xrLocateViews runtimeViews = nullptr);

// With the tracked VIEW space option: locating a VIEW space created through the layer in a world
// space created through it gives the head that the views get, and the reverse gives the inverse
// (TrackedSpaceLocation.h).
XrResult LocateSpaceAtTrackedPose(MocapTracker& tracker, PFN_xrLocateSpace next, XrSpace space,
                                  XrSpace baseSpace, XrTime time, XrSpaceLocation* location,
                                  DisplayClock clock = nullptr);
// The same for each space of a batch (xrLocateSpaces, xrLocateSpacesKHR), all at one head.
XrResult LocateSpacesAtTrackedPose(MocapTracker& tracker, PFN_xrLocateSpaces next,
                                   XrSession session, const XrSpacesLocateInfo* locateInfo,
                                   XrSpaceLocations* spaceLocations, DisplayClock clock = nullptr);

XrResult DestroySpaceForgettingViews(MocapTracker& tracker, PFN_xrDestroySpace next, XrSpace space);
XrResult DestroySessionForgettingViews(MocapTracker& tracker, PFN_xrDestroySession next,
                                       XrSession session);
