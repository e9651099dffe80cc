#pragma once

#include <openxr/openxr.h>

#include "override/TrackedPoseAt.h"
#include "platform/LocateSpacesDeclarations.h"
#include "tracking/MocapTracker.h"

// One location as xrLocateSpace and xrLocateSpaces write it, wherever its fields live.
struct SpaceLocationFields {
    XrSpaceLocationFlags* flags;
    XrPosef* pose;
};

// One location's velocities; all null when the application asked for none.
struct SpaceVelocityFields {
    XrSpaceVelocityFlags* flags = nullptr;
    XrVector3f* linear = nullptr;
    XrVector3f* angular = nullptr;
};

// The tracked head for the locations of one call, looked up on the first location that needs it,
// so that every space of a batch gets the same head.
class TrackedHeadForCall {
public:
    TrackedHeadForCall(MocapTracker& tracker, DisplayClock clock, XrTime time)
        : tracker_(tracker), clock_(clock), time_(time) {}

    // Null while the tracker has no head to give.
    const XrPosef* Get();

private:
    MocapTracker& tracker_;
    DisplayClock clock_;
    XrTime time_;
    bool looked_ = false;
    bool found_ = false;
    XrPosef head_{};
};

// The velocities chained to an XrSpaceLocation (`next` is its chain); none when not asked for.
SpaceVelocityFields ChainedSpaceVelocity(void* next);
// Those chained to an XrSpaceLocations, or null; and the `index`th of them, none past their count.
XrSpaceVelocities* ChainedSpaceVelocities(void* next);
SpaceVelocityFields SpaceVelocityAt(XrSpaceVelocities* velocities, uint32_t index);

// Gives the location of `space` in `baseSpace` the tracked head where the layer knows both sides:
// - a tracked VIEW space in a world space created through the layer (LOCAL, STAGE and the like):
//   the tracked head, with the VIEW space's pose in it;
// - such a world space in a tracked VIEW space: the inverse of that;
// - two tracked VIEW spaces: their poses in the head alone.
// Every other location keeps the runtime's answer. An action space (a hand's grip, say) or a space
// the layer did not see created moves in a way only the runtime knows, so in a VIEW space it is
// not at the inverse head; and a VIEW space located in such a base is the runtime's to answer for
// the same reason: the layer knows where the head is in the world, not where the head is relative
// to a hand.
//
// Velocities: a location that gets the tracked head loses the valid bits of its velocities (and
// the runtime's values), since those describe the runtime's head, not the tracked one. The
// layer does not make velocities of its own: the motion-capture stream carries poses only, a
// difference of its samples amplifies their noise, and with a VIEW base the velocity also needs
// the located space's own motion, which the layer does not know. Applications already handle
// velocities without valid bits. Two VIEW spaces move together: no motion between them.
void TrackSpaceLocation(MocapTracker& tracker, TrackedHeadForCall& head, XrSpace space,
                        XrSpace baseSpace, const SpaceLocationFields& location,
                        const SpaceVelocityFields& velocity);
