#include <cmath>
#include <thread>

#include "log/LogOutput.h"
#include "override/QuaternionMath.h"
#include "tracking/MocapTracker.h"

namespace {

// The ipd setting is in millimetres; the scale to metres is done in double precision.
float EyeScale(float ipd, float side) {
    return static_cast<float>(static_cast<double>(ipd * side) * 0.001);
}

XrVector3f Add(const XrVector3f& a, const XrVector3f& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

}  // namespace

void MocapTracker::OverrideViewPoses(XrPosef& first, XrPosef& second) {
    const HmdPose pose = ReadPose();
    if (!pose.valid) {
        LogText("Position not set\n");
        return;
    }
    const XrQuaternionf& q = pose.orientation;
    const XrVector3f& p = pose.position;

    // Exactly one thread captures the yaw correction; a concurrent caller waits the few
    // nanoseconds it takes rather than using a half-written correction.
    auto state = YawCapture::NotCaptured;
    if (yawOffsetComputed.compare_exchange_strong(state, YawCapture::Capturing)) {
        const float hm = HalfYaw(q);
        const float hr = HalfYaw(first.orientation);
        const XrQuaternionf mocapHalf{0.0f, std::sin(hm), 0.0f, std::cos(hm)};
        const XrQuaternionf runtimeHalfInverse{0.0f, -std::sin(hr), 0.0f, std::cos(hr)};
        yawOffsetInverse = Multiply(mocapHalf, runtimeHalfInverse);
        yawOffset = {0.0f, -yawOffsetInverse.y, 0.0f, yawOffsetInverse.w};
        yawOffsetComputed.store(YawCapture::Captured, std::memory_order_release);
    } else {
        while (yawOffsetComputed.load(std::memory_order_acquire) != YawCapture::Captured) {
            std::this_thread::yield();
        }
    }

    const XrVector3f leftEye = EyeOffset(q, EyeScale(ipd, -0.5f));
    const XrVector3f rightEye = EyeOffset(q, EyeScale(ipd, 0.5f));
    const XrQuaternionf orientation = Multiply(yawOffset, q);
    const XrQuaternionf turned =
        Multiply(Multiply(yawOffset, {p.x, p.y, p.z, 0.0f}), yawOffsetInverse);
    const XrVector3f position{turned.x, turned.y, turned.z};

    first.orientation = orientation;
    second.orientation = orientation;
    first.position = Add(position, leftEye);
    second.position = Add(position, rightEye);
    LogText("Position set\n");
}
