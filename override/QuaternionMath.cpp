#include "override/QuaternionMath.h"

#include <cmath>

XrQuaternionf Multiply(const XrQuaternionf& a, const XrQuaternionf& b) {
    return {
        a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
        a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
        a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
        a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
    };
}

XrQuaternionf Conjugate(const XrQuaternionf& q) { return {-q.x, -q.y, -q.z, q.w}; }

XrVector3f Rotate(const XrQuaternionf& q, const XrVector3f& v) {
    const XrQuaternionf turned = Multiply(Multiply(q, {v.x, v.y, v.z, 0.0f}), Conjugate(q));
    return {turned.x, turned.y, turned.z};
}

float HalfYaw(const XrQuaternionf& q) {
    const float s = q.y * q.w + q.x * q.z;
    const float a = s + s;
    const float t = q.y * q.y + q.x * q.x;
    const float b = 1.0f - (t + t);
    // The angle itself is taken in double precision; the halving stays in single precision.
    const auto heading = static_cast<float>(std::atan2(static_cast<double>(a), static_cast<double>(b)));
    return heading * 0.5f;
}
