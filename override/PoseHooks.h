#pragma once

#include <openxr/openxr.h>

// The three hooks that change what the application and the compositor see.
XrResult XRAPI_CALL HookCreateReferenceSpace(XrSession session,
                                             const XrReferenceSpaceCreateInfo* createInfo,
                                             XrSpace* space);
XrResult XRAPI_CALL HookLocateViews(XrSession session, const XrViewLocateInfo* viewLocateInfo,
                                    XrViewState* viewState, uint32_t viewCapacityInput,
                                    uint32_t* viewCountOutput, XrView* views);
XrResult XRAPI_CALL HookEndFrame(XrSession session, const XrFrameEndInfo* frameEndInfo);

// Intercepted only while the tracked VIEW space option is on.
XrResult XRAPI_CALL HookLocateSpace(XrSpace space, XrSpace baseSpace, XrTime time,
                                    XrSpaceLocation* location);
XrResult XRAPI_CALL HookDestroySpace(XrSpace space);
