#pragma once

#include <openxr/openxr.h>

// Quaternion arithmetic of the pose override, in single precision, evaluated in full: nothing is
// normalised and no shortcut formula is used, so results match the written formulas exactly.

// Hamilton product a ⊗ b.
XrQuaternionf Multiply(const XrQuaternionf& a, const XrQuaternionf& b);
XrQuaternionf Conjugate(const XrQuaternionf& q);
// The vector part of q ⊗ (v, 0) ⊗ q*; |q|² times the rotated vector when q is not of unit length.
XrVector3f Rotate(const XrQuaternionf& q, const XrVector3f& v);
// Half the heading of q's rotated +Z axis, measured from +Z towards +X, in radians.
float HalfYaw(const XrQuaternionf& q);
