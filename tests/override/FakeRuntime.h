#pragma once

#include <openxr/openxr.h>

#include <vector>

// What the runtime below the layer received, copied at the moment of the call: the pointers
// the layer passes die with the call.
struct FakeRuntime {
    XrResult result = XR_SUCCESS;

    int createSpaceCalls = 0;
    bool createInfoWasNull = false;
    XrReferenceSpaceCreateInfo receivedSpaceInfo{};

    XrPosef locatedPoses[2] = {};  // what the runtime writes into the first two views
    uint32_t writtenViewCount = 2;
    XrViewStateFlags locatedFlags = XR_VIEW_STATE_ORIENTATION_VALID_BIT;  // position invalid
    XrResult locateViewsResult = XR_SUCCESS;  // a failure of xrLocateViews alone
    int locateViewsCalls = 0;
    XrViewLocateInfo receivedLocateInfo{};

    int endFrameCalls = 0;
    bool frameEndInfoWasNull = false;
    XrFrameEndInfo receivedFrame{};
    std::vector<const XrCompositionLayerBaseHeader*> receivedLayers;
    std::vector<XrCompositionLayerProjection> receivedProjections;  // one per stereo layer
    std::vector<std::vector<XrCompositionLayerProjectionView>> receivedViews;

    static FakeRuntime& Current();
};

XrResult XRAPI_CALL FakeCreateReferenceSpace(XrSession, const XrReferenceSpaceCreateInfo* info,
                                             XrSpace* space);
XrResult XRAPI_CALL FakeLocateViews(XrSession, const XrViewLocateInfo*, XrViewState* state,
                                    uint32_t capacity, uint32_t* count, XrView* views);
XrResult XRAPI_CALL FakeEndFrame(XrSession, const XrFrameEndInfo* info);
