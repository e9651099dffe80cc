#pragma once

#include <openxr/openxr.h>

// Quaternion arithmetic of the pose override, in single precision, evaluated in full: nothing is
// normalised and no shortcut formula is used, so results match the written formulas exactly.

// Inline: they run several times per frame on the view path.

// Hamilton product a ⊗ b.
inline XrQuaternionf Multiply(const XrQuaternionf& a, const XrQuaternionf& b) {
    return {
        a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
        a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
        a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
        a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
    };
}

inline XrQuaternionf Conjugate(const XrQuaternionf& q) {
    return {-q.x, -q.y, -q.z, q.w};
}

// The vector part of q ⊗ (v, 0) ⊗ q*; |q|² times the rotated vector when q is not of unit length.
inline XrVector3f Rotate(const XrQuaternionf& q, const XrVector3f& v) {
    const XrQuaternionf turned = Multiply(Multiply(q, {v.x, v.y, v.z, 0.0f}), Conjugate(q));
    return {turned.x, turned.y, turned.z};
}
// Half the heading of q's rotated +Z axis, measured from +Z towards +X, in radians.
float HalfYaw(const XrQuaternionf& q);
