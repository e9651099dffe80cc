#pragma once

#include <openxr/openxr.h>

namespace standin {

// Rigid transforms as OpenXR poses: Compose(a, b) is b expressed in the frame that a is given in
// (first b, then a), so a reference space's pose in the world is Compose(base, offset).
XrQuaternionf Multiply(const XrQuaternionf& a, const XrQuaternionf& b);
XrVector3f Rotate(const XrQuaternionf& q, const XrVector3f& v);
XrPosef Compose(const XrPosef& a, const XrPosef& b);
XrPosef Inverse(const XrPosef& pose);

inline constexpr XrPosef kIdentityPose{{0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}};

}  // namespace standin
