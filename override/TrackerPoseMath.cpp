#include <cmath>

#include "override/QuaternionMath.h"
#include "tracking/MocapTracker.h"

XrQuaternionf MocapTracker::YawOnly(const XrQuaternionf& q) {
    const float h = HalfYaw(q);
    return {0.0f, std::sin(h), 0.0f, std::cos(h)};
}

XrVector3f MocapTracker::EyeOffset(const XrQuaternionf& hmdOrientation, float k) {
    return Rotate(hmdOrientation, {k, 0.0f, 0.0f});
}

XrPosef MocapTracker::FlippedHmdPose(const HmdPose& pose) {
    const XrQuaternionf& q = pose.orientation;
    const XrVector3f& p = pose.position;
    return {{q.x, -q.y, q.z, q.w}, {p.x, -p.y, p.z}};
}
