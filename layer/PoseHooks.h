#pragma once

#include <openxr/openxr.h>

// The C shells of the pose hooks: each binds its logic in override/ to the process-wide tracker
// and to the next element of the current layer object.

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
XrResult XRAPI_CALL HookDestroySession(XrSession session);
