#include "override/QuaternionMath.h"

#include <cmath>

float HalfYaw(const XrQuaternionf& q) {
    const float s = q.y * q.w + q.x * q.z;
    const float a = s + s;
    const float t = q.y * q.y + q.x * q.x;
    const float b = 1.0f - (t + t);
    // The angle itself is taken in double precision; the halving stays in single precision.
    const auto heading =
        static_cast<float>(std::atan2(static_cast<double>(a), static_cast<double>(b)));
    return heading * 0.5f;
}
