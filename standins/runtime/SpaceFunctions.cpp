#include "standins/runtime/Functions.h"
#include "standins/runtime/Recorder.h"
#include "standins/runtime/RuntimeObjects.h"
#include "standins/runtime/StructureChecks.h"

namespace standin {
namespace {

constexpr XrReferenceSpaceType kReferenceSpaces[] = {
    XR_REFERENCE_SPACE_TYPE_VIEW, XR_REFERENCE_SPACE_TYPE_LOCAL, XR_REFERENCE_SPACE_TYPE_STAGE};
constexpr XrFovf kFov{-0.785398f, 0.785398f, 0.785398f, -0.785398f};

bool IsOfferedSpace(XrReferenceSpaceType type) {
    for (const XrReferenceSpaceType offered : kReferenceSpaces) {
        if (offered == type) {
            return true;
        }
    }
    return false;
}

}  // namespace

XrResult XRAPI_CALL EnumerateReferenceSpaces(XrSession session, uint32_t capacity, uint32_t* count,
                                             XrReferenceSpaceType* spaces) {
    if (FindSession(session) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    return FillList(kReferenceSpaces, capacity, count, spaces);
}

XrResult XRAPI_CALL CreateReferenceSpace(XrSession session,
                                         const XrReferenceSpaceCreateInfo* createInfo,
                                         XrSpace* space) {
    if (FindSession(session) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || space == nullptr ||
        createInfo->type != XR_TYPE_REFERENCE_SPACE_CREATE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (!IsOfferedSpace(createInfo->referenceSpaceType)) {
        return XR_ERROR_REFERENCE_SPACE_UNSUPPORTED;
    }
    if (!IsValidPose(createInfo->poseInReferenceSpace)) {
        return XR_ERROR_POSE_INVALID;
    }
    const XrSpace created =
        AddSpace({session, createInfo->referenceSpaceType, createInfo->poseInReferenceSpace});
    if (created == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    TheRecorder().ReferenceSpace(createInfo->referenceSpaceType, createInfo->poseInReferenceSpace);
    *space = created;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL DestroySpace(XrSpace space) {
    if (FindSpace(space) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    RemoveSpace(space);
    return XR_SUCCESS;
}

// The head pose is the stand-in's own and the same in every space: the space's offset is recorded
// but not applied, so what a test reads back does not depend on the offset it is checking.
XrResult XRAPI_CALL LocateViews(XrSession session, const XrViewLocateInfo* locateInfo,
                                XrViewState* viewState, uint32_t capacity, uint32_t* count,
                                XrView* views) {
    Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (locateInfo == nullptr || viewState == nullptr || count == nullptr ||
        locateInfo->type != XR_TYPE_VIEW_LOCATE_INFO || viewState->type != XR_TYPE_VIEW_STATE) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (locateInfo->viewConfigurationType != XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO) {
        return XR_ERROR_VIEW_CONFIGURATION_TYPE_UNSUPPORTED;
    }
    const Space* space = FindSpace(locateInfo->space);
    if (space == nullptr || space->session != session) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (locateInfo->displayTime <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    *count = 2;
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (capacity < 2) {
        return XR_ERROR_SIZE_INSUFFICIENT;
    }
    if (views == nullptr || views[0].type != XR_TYPE_VIEW || views[1].type != XR_TYPE_VIEW) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const EyePoses& eyes = FindInstance(state->instance)->eyes;
    views[0].pose = eyes.left;
    views[1].pose = eyes.right;
    views[0].fov = kFov;
    views[1].fov = kFov;
    viewState->viewStateFlags =
        XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT |
        XR_VIEW_STATE_ORIENTATION_TRACKED_BIT | XR_VIEW_STATE_POSITION_TRACKED_BIT;
    TheRecorder().LocatedViews(locateInfo->displayTime, eyes.left, eyes.right);
    return XR_SUCCESS;
}

}  // namespace standin
