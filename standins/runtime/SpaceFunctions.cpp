#include <algorithm>

#include "standins/runtime/Functions.h"
#include "standins/runtime/PoseMath.h"
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

// Where a reference space is in the runtime's world: LOCAL and STAGE share the world's origin
// on the floor, VIEW is the head; the space's offset applies on top.
XrPosef WorldPose(const Space& space, const EyePoses& eyes) {
    const XrPosef& base = space.type == XR_REFERENCE_SPACE_TYPE_VIEW ? eyes.head : kIdentityPose;
    return Compose(base, space.poseInReferenceSpace);
}

constexpr XrSpaceVelocityFlags kVelocityValid =
    XR_SPACE_VELOCITY_LINEAR_VALID_BIT | XR_SPACE_VELOCITY_ANGULAR_VALID_BIT;

void SetVelocity(void* next, bool known) {
    for (auto* chained = static_cast<XrBaseOutStructure*>(next); chained != nullptr;
         chained = chained->next) {
        if (chained->type == XR_TYPE_SPACE_VELOCITY) {
            // The head stands still.
            auto* velocity = reinterpret_cast<XrSpaceVelocity*>(chained);
            velocity->velocityFlags = known ? kVelocityValid : 0;
            velocity->linearVelocity = {0.0f, 0.0f, 0.0f};
            velocity->angularVelocity = {0.0f, 0.0f, 0.0f};
        }
    }
}

const Instance* InstanceOf(const Space& space) {
    const Session* session = FindSession(space.session);
    return session != nullptr ? FindInstance(session->instance) : nullptr;
}

// One space in another of the same session; false for what the runtime cannot locate (action
// spaces), which gets no flags.
bool Locate(const Space& located, const Space& base, const Instance& instance, XrPosef* pose,
            XrSpaceLocationFlags* flags) {
    const bool known = located.kind == SpaceKind::kReference && base.kind == SpaceKind::kReference;
    *pose =
        known ? Compose(Inverse(WorldPose(base, instance.eyes)), WorldPose(located, instance.eyes))
              : kIdentityPose;
    *flags = known
                 ? XR_SPACE_LOCATION_ORIENTATION_VALID_BIT | XR_SPACE_LOCATION_POSITION_VALID_BIT |
                       XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT |
                       XR_SPACE_LOCATION_POSITION_TRACKED_BIT
                 : 0;
    return known;
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
    Space reference;
    reference.session = session;
    reference.type = createInfo->referenceSpaceType;
    reference.poseInReferenceSpace = createInfo->poseInReferenceSpace;
    const XrSpace created = AddSpace(reference);
    if (created == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    TheRecorder().ReferenceSpace(createInfo->referenceSpaceType, createInfo->poseInReferenceSpace);
    *space = created;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL GetReferenceSpaceBoundsRect(XrSession session,
                                                XrReferenceSpaceType referenceSpaceType,
                                                XrExtent2Df* bounds) {
    if (FindSession(session) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (bounds == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (!IsOfferedSpace(referenceSpaceType)) {
        return XR_ERROR_REFERENCE_SPACE_UNSUPPORTED;
    }
    // No play area is known, for the stage either.
    *bounds = {0.0f, 0.0f};
    return XR_SPACE_BOUNDS_UNAVAILABLE;
}

XrResult XRAPI_CALL CreateActionSpace(XrSession session, const XrActionSpaceCreateInfo* createInfo,
                                      XrSpace* space) {
    if (FindSession(session) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || space == nullptr ||
        createInfo->type != XR_TYPE_ACTION_SPACE_CREATE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const Action* action = FindAction(createInfo->action);
    if (action == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (action->type != XR_ACTION_TYPE_POSE_INPUT) {
        return XR_ERROR_ACTION_TYPE_MISMATCH;
    }
    if (createInfo->subactionPath != XR_NULL_PATH &&
        std::find(action->subactionPaths.begin(), action->subactionPaths.end(),
                  createInfo->subactionPath) == action->subactionPaths.end()) {
        return XR_ERROR_PATH_UNSUPPORTED;
    }
    if (!IsValidPose(createInfo->poseInActionSpace)) {
        return XR_ERROR_POSE_INVALID;
    }
    Space created;
    created.session = session;
    created.poseInReferenceSpace = createInfo->poseInActionSpace;
    created.kind = SpaceKind::kAction;
    created.action = createInfo->action;
    created.subactionPath = createInfo->subactionPath;
    const XrSpace handle = AddSpace(created);
    if (handle == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    *space = handle;
    return XR_SUCCESS;
}

// Reference spaces are located with their offsets, as the world places them; action spaces have
// no device behind them and are never located.
XrResult XRAPI_CALL LocateSpace(XrSpace space, XrSpace baseSpace, XrTime time,
                                XrSpaceLocation* location) {
    const Space* located = FindSpace(space);
    const Space* base = FindSpace(baseSpace);
    if (located == nullptr || base == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (location == nullptr || location->type != XR_TYPE_SPACE_LOCATION) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (located->session != base->session) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (time <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    const Instance* instance = InstanceOf(*base);
    if (instance == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    const bool known =
        Locate(*located, *base, *instance, &location->pose, &location->locationFlags);
    SetVelocity(location->next, known);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL LocateSpaces(XrSession session, const XrSpacesLocateInfo* locateInfo,
                                 XrSpaceLocations* spaceLocations) {
    if (FindSession(session) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (locateInfo == nullptr || spaceLocations == nullptr ||
        locateInfo->type != XR_TYPE_SPACES_LOCATE_INFO ||
        spaceLocations->type != XR_TYPE_SPACE_LOCATIONS || locateInfo->spaceCount == 0 ||
        locateInfo->spaces == nullptr || spaceLocations->locations == nullptr ||
        spaceLocations->locationCount != locateInfo->spaceCount) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const Space* base = FindSpace(locateInfo->baseSpace);
    if (base == nullptr || base->session != session) {
        return XR_ERROR_HANDLE_INVALID;
    }
    for (uint32_t i = 0; i < locateInfo->spaceCount; ++i) {
        const Space* located = FindSpace(locateInfo->spaces[i]);
        if (located == nullptr || located->session != session) {
            return XR_ERROR_HANDLE_INVALID;
        }
    }
    XrSpaceVelocities* velocities = nullptr;
    for (auto* chained = static_cast<XrBaseOutStructure*>(spaceLocations->next); chained != nullptr;
         chained = chained->next) {
        if (chained->type == XR_TYPE_SPACE_VELOCITIES) {
            velocities = reinterpret_cast<XrSpaceVelocities*>(chained);
        }
    }
    if (velocities != nullptr && (velocities->velocityCount != locateInfo->spaceCount ||
                                  velocities->velocities == nullptr)) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (locateInfo->time <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    const Instance* instance = InstanceOf(*base);
    if (instance == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    for (uint32_t i = 0; i < locateInfo->spaceCount; ++i) {
        XrSpaceLocationData& location = spaceLocations->locations[i];
        const bool known = Locate(*FindSpace(locateInfo->spaces[i]), *base, *instance,
                                  &location.pose, &location.locationFlags);
        if (velocities != nullptr) {
            // The head stands still.
            XrSpaceVelocityData& velocity = velocities->velocities[i];
            velocity.velocityFlags = known ? kVelocityValid : 0;
            velocity.linearVelocity = {0.0f, 0.0f, 0.0f};
            velocity.angularVelocity = {0.0f, 0.0f, 0.0f};
        }
    }
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
