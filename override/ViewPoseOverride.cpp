#include <bit>
#include <cmath>
#include <cstdint>

#include "log/LogOutput.h"
#include "override/FirstPublished.h"
#include "override/QuaternionMath.h"
#include "tracking/MocapTracker.h"
#include "tracking/NonFinitePoses.h"

namespace {

// The ipd setting is in millimetres; the scale to metres is done in double precision.
float EyeScale(float ipd, float side) {
    return static_cast<float>(static_cast<double>(ipd * side) * 0.001);
}

XrVector3f Add(const XrVector3f& a, const XrVector3f& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

uint64_t PackYawInverse(const XrQuaternionf& inverse) {
    return (uint64_t{std::bit_cast<uint32_t>(inverse.y)} << 32) |
           std::bit_cast<uint32_t>(inverse.w);
}

MocapTracker::YawCorrection UnpackYawCorrection(uint64_t bits) {
    const float y = std::bit_cast<float>(static_cast<uint32_t>(bits >> 32));
    const float w = std::bit_cast<float>(static_cast<uint32_t>(bits));
    return {{0.0f, -y, 0.0f, w}, {0.0f, y, 0.0f, w}};
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

std::optional<MocapTracker::YawCorrection> MocapTracker::CapturedYawCorrection() const {
    // The word is the whole correction: no other data hangs on it, so relaxed order suffices.
    const uint64_t bits = yawCorrectionBits.load(std::memory_order_relaxed);
    if (bits == kNoYawCorrection) {
        return std::nullopt;
    }
    return UnpackYawCorrection(bits);
}

bool MocapTracker::TrackedHeadPose(const HmdPose& pose, XrPosef* head) const {
    const std::optional<YawCorrection> yaw = CapturedYawCorrection();
    if (!pose.valid || !yaw) {
        return false;
    }
    *head = CorrectedHead(yaw->offset, yaw->inverse, pose);
    return true;
}

void MocapTracker::OverrideViewPoses(XrPosef& first, XrPosef& second, const HmdPose& pose) {
    if (!pose.valid) {
        LogText("Position not set\n");
        return;
    }
    const XrQuaternionf& q = pose.orientation;

    // The first call with a pose captures the yaw correction from its own heading. Calls racing
    // to be first each compute theirs, and all use the one published first: no call waits.
    uint64_t bits = yawCorrectionBits.load(std::memory_order_relaxed);
    if (bits == kNoYawCorrection) {
        const float hm = HalfYaw(q);
        const float hr = HalfYaw(first.orientation);
        const XrQuaternionf mocapHalf{0.0f, std::sin(hm), 0.0f, std::cos(hm)};
        const XrQuaternionf runtimeHalfInverse{0.0f, -std::sin(hr), 0.0f, std::cos(hr)};
        const XrQuaternionf correction = Multiply(mocapHalf, runtimeHalfInverse);
        // A view or pose that is not finite has no heading (an infinite one may still give a
        // number, a wrong one), and a correction made from it would spoil every view after it:
        // this call keeps the runtime's views, and a later one with finite views captures it.
        if (!IsFiniteOrientation(q) || !IsFiniteOrientation(first.orientation) ||
            !std::isfinite(correction.y) || !std::isfinite(correction.w)) {
            LogText("Position not set\n");
            return;
        }
        bits = PublishFirst(yawCorrectionBits, kNoYawCorrection, PackYawInverse(correction));
    }
    const YawCorrection yaw = UnpackYawCorrection(bits);

    // EyeOffset's rotation, inline so that both eyes and the head are computed side by side.
    const XrVector3f leftEye = Rotate(q, {EyeScale(ipd, -0.5f), 0.0f, 0.0f});
    const XrVector3f rightEye = Rotate(q, {EyeScale(ipd, 0.5f), 0.0f, 0.0f});
    const XrPosef head = CorrectedHead(yaw.offset, yaw.inverse, pose);

    first.orientation = head.orientation;
    second.orientation = head.orientation;
    first.position = Add(head.position, leftEye);
    second.position = Add(head.position, rightEye);
    LogText("Position set\n");
}
