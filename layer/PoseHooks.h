#pragma once

#include <openxr/openxr.h>

#include "platform/LocateSpacesDeclarations.h"

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
// Handed out only when the runtime has them: OpenXR 1.1's, and XR_KHR_locate_spaces' where the
// application enabled it.
XrResult XRAPI_CALL HookLocateSpaces(XrSession session, const XrSpacesLocateInfo* locateInfo,
                                     XrSpaceLocations* spaceLocations);
XrResult XRAPI_CALL HookLocateSpacesKHR(XrSession session, const XrSpacesLocateInfo* locateInfo,
                                        XrSpaceLocations* spaceLocations);
XrResult XRAPI_CALL HookDestroySpace(XrSpace space);
XrResult XRAPI_CALL HookDestroySession(XrSession session);
