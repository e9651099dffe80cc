#include "standins/runtime/PoseMath.h"

namespace standin {

XrQuaternionf Multiply(const XrQuaternionf& a, const XrQuaternionf& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

XrVector3f Rotate(const XrQuaternionf& q, const XrVector3f& v) {
    const XrQuaternionf conjugate{-q.x, -q.y, -q.z, q.w};
    const XrQuaternionf turned = Multiply(Multiply(q, {v.x, v.y, v.z, 0.0f}), conjugate);
    return {turned.x, turned.y, turned.z};
}

XrPosef Compose(const XrPosef& a, const XrPosef& b) {
    const XrVector3f moved = Rotate(a.orientation, b.position);
    return {Multiply(a.orientation, b.orientation),
            {a.position.x + moved.x, a.position.y + moved.y, a.position.z + moved.z}};
}

XrPosef Inverse(const XrPosef& pose) {
    const XrQuaternionf conjugate{-pose.orientation.x, -pose.orientation.y, -pose.orientation.z,
                                  pose.orientation.w};
    const XrVector3f back = Rotate(conjugate, pose.position);
    return {conjugate, {-back.x, -back.y, -back.z}};
}

}  // namespace standin
