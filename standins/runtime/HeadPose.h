#pragma once

#include <openxr/openxr.h>

#include "standins/runtime/StandinConfig.h"

namespace standin {

// The stand-in's own, fixed head: standing at kHeadPosition, turned by the configured heading
// about +Y, eyes the configured separation apart along the head's +X axis.
inline constexpr XrVector3f kHeadPosition{0.25f, 1.65f, -0.4f};

struct EyePoses {
    XrPosef left;
    XrPosef right;
    XrPosef head;  // between the eyes: the origin of the VIEW reference space
};

EyePoses ComputeEyePoses(const StandinConfig& config);

}  // namespace standin
