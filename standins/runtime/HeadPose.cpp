#include "standins/runtime/HeadPose.h"

#include <cmath>

namespace standin {

EyePoses ComputeEyePoses(const StandinConfig& config) {
    const double heading = config.headingDegrees * M_PI / 180.0;
    const XrQuaternionf orientation{0.0f, static_cast<float>(std::sin(heading / 2.0)), 0.0f,
                                    static_cast<float>(std::cos(heading / 2.0))};
    // A yaw of psi turns the head's +X axis to (cos psi, 0, -sin psi).
    const double half = config.eyeSeparationMm * 0.0005;
    const auto eye = [&](double side) {
        return XrPosef{
            orientation,
            {static_cast<float>(kHeadPosition.x + side * half * std::cos(heading)), kHeadPosition.y,
             static_cast<float>(kHeadPosition.z - side * half * std::sin(heading))}};
    };
    return {eye(-1.0), eye(1.0), eye(0.0)};
}

}  // namespace standin
