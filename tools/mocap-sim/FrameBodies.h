#pragma once

// Which rigid body each place in a simulated frame carries.

#include <cstdint>
#include <vector>

#include "tools/mocap-sim/SimOptions.h"

enum class BodyRole { kHeadset, kRightHand, kLeftHand, kProp };

struct FrameBody {
    int32_t id;
    BodyRole role;
};

// The frame holds options.bodyCount bodies. The headset is second (when there are others), so
// that a reader must search for its id; the hands come next in line, right then left, and props
// standing still fill the rest with ids counting up from the headset's, passing over the hands'.
// Without the hands, the props take every place but the headset's, as they always have. A hand
// whose id is the headset's, or a left hand with the right's id, is left out, as are hands there
// is no room for.
std::vector<FrameBody> PlanFrameBodies(const SimOptions& options);
