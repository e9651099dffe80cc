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

// The corrected head pose: the yaw correction applied to the stored orientation, and the stored
// position turned by it about the vertical through the motion-capture origin.
inline XrPosef CorrectedHead(const XrQuaternionf& yawOffset, const XrQuaternionf& yawOffsetInverse,
                             const HmdPose& pose) {
    const XrVector3f& p = pose.position;
    const XrQuaternionf turned =
        Multiply(Multiply(yawOffset, {p.x, p.y, p.z, 0.0f}), yawOffsetInverse);
    return {Multiply(yawOffset, pose.orientation), {turned.x, turned.y, turned.z}};
}

}  // namespace

void MocapTracker::OverrideViewPoses(XrPosef& first, XrPosef& second) {
    OverrideViewPoses(first, second, ReadPose());
}

bool MocapTracker::TrackedHeadPose(const HmdPose& pose, XrPosef* head) const {
    if (!pose.valid || yawOffsetComputed.load(std::memory_order_acquire) != YawCapture::Captured) {
        return false;
    }
    *head = CorrectedHead(yawOffset, yawOffsetInverse, pose);
    return true;
}

void MocapTracker::OverrideViewPoses(XrPosef& first, XrPosef& second, const HmdPose& pose) {
    if (!pose.valid) {
        LogText("Position not set\n");
        return;
    }
    const XrQuaternionf& q = pose.orientation;

    // Exactly one thread captures the yaw correction; a concurrent caller waits the few
    // nanoseconds it takes rather than using a half-written correction. Once captured, a plain
    // acquire load tells so: the read-modify-write would cost every frame a locked instruction.
    auto state = yawOffsetComputed.load(std::memory_order_acquire);
    if (state == YawCapture::NotCaptured &&
        yawOffsetComputed.compare_exchange_strong(state, YawCapture::Capturing,
                                                  std::memory_order_acquire)) {
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

    // EyeOffset's rotation, inline so that both eyes and the head are computed side by side.
    const XrVector3f leftEye = Rotate(q, {EyeScale(ipd, -0.5f), 0.0f, 0.0f});
    const XrVector3f rightEye = Rotate(q, {EyeScale(ipd, 0.5f), 0.0f, 0.0f});
    const XrPosef head = CorrectedHead(yawOffset, yawOffsetInverse, pose);

    first.orientation = head.orientation;
    second.orientation = head.orientation;
    first.position = Add(head.position, leftEye);
    second.position = Add(head.position, rightEye);
    LogText("Position set\n");
}
