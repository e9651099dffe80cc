#include "override/TrackedSpaceLocation.h"

#include <optional>

#include "override/QuaternionMath.h"

namespace {

constexpr XrSpaceVelocityFlags kVelocityValid =
    XR_SPACE_VELOCITY_LINEAR_VALID_BIT | XR_SPACE_VELOCITY_ANGULAR_VALID_BIT;

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

void SetVelocity(const SpaceVelocityFields& velocity, XrSpaceVelocityFlags flags) {
    if (velocity.flags == nullptr) {
        return;
    }
    *velocity.flags = flags;
    *velocity.linear = {0.0f, 0.0f, 0.0f};
    *velocity.angular = {0.0f, 0.0f, 0.0f};
}

// The first structure of type `type` in a chain of OpenXR output structures.
XrBaseOutStructure* FindInChain(void* next, XrStructureType type) {
    for (auto* each = static_cast<XrBaseOutStructure*>(next); each != nullptr; each = each->next) {
        if (each->type == type) {
            return each;
        }
    }
    return nullptr;
}

}  // namespace

const XrPosef* TrackedHeadForCall::Get() {
    if (!looked_) {
        looked_ = true;
        found_ = tracker_.initialised.load() &&
                 tracker_.TrackedHeadPose(HmdPoseFor(tracker_, clock_, time_), &head_);
    }
    return found_ ? &head_ : nullptr;
}

SpaceVelocityFields ChainedSpaceVelocity(void* next) {
    auto* velocity = reinterpret_cast<XrSpaceVelocity*>(FindInChain(next, XR_TYPE_SPACE_VELOCITY));
    if (velocity == nullptr) {
        return {};
    }
    return {&velocity->velocityFlags, &velocity->linearVelocity, &velocity->angularVelocity};
}

XrSpaceVelocities* ChainedSpaceVelocities(void* next) {
    return reinterpret_cast<XrSpaceVelocities*>(FindInChain(next, XR_TYPE_SPACE_VELOCITIES));
}

SpaceVelocityFields SpaceVelocityAt(XrSpaceVelocities* velocities, uint32_t index) {
    if (velocities == nullptr || velocities->velocities == nullptr ||
        index >= velocities->velocityCount) {
        return {};
    }
    XrSpaceVelocityData& data = velocities->velocities[index];
    return {&data.velocityFlags, &data.linearVelocity, &data.angularVelocity};
}

void TrackSpaceLocation(MocapTracker& tracker, TrackedHeadForCall& head, XrSpace space,
                        XrSpace baseSpace, const SpaceLocationFields& location,
                        const SpaceVelocityFields& velocity) {
    const std::optional<XrPosef> spaceInHead = tracker.viewSpaces.Find(space);
    const std::optional<XrPosef> baseInHead = tracker.viewSpaces.Find(baseSpace);
    if (spaceInHead && baseInHead) {
        // Both move with the head: only the poses the application gave them count.
        *location.pose = Compose(Inverse(*baseInHead), *spaceInHead);
        SetVelocity(velocity, kVelocityValid);
        return;
    }
    // The tracked head is known only in the world spaces created through the layer, as
    // xrLocateViews gives it; a VIEW space sits at the pose in the head the application created it
    // with.
    const bool headInBase = spaceInHead && tracker.viewSpaces.HoldsWorldSpace(baseSpace);
    const bool baseInHeadSpace = baseInHead && tracker.viewSpaces.HoldsWorldSpace(space);
    if (!headInBase && !baseInHeadSpace) {
        return;
    }
    const XrPosef* tracked = head.Get();
    if (tracked == nullptr) {
        return;
    }
    *location.pose =
        headInBase ? Compose(*tracked, *spaceInHead) : Inverse(Compose(*tracked, *baseInHead));
    SetVelocity(velocity, 0);
    if (TrackingLost(tracker)) {
        MarkUntracked(location.flags, XrSpaceLocationFlags{XR_SPACE_LOCATION_POSITION_TRACKED_BIT},
                      XrSpaceLocationFlags{XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT});
    }
}
