#include "tools/mocap-sim/MocapPath.h"

#include <cmath>
#include <numbers>

namespace {

// The yaw about Y that turns the body +Z axis towards the pose's horizontal facing.
double HeadingOf(const MocapPose& pose) {
    const double x = pose.qx, y = pose.qy, z = pose.qz, w = pose.qw;
    // The body +Z axis turned by the orientation, horizontal part only.
    double forwardX = 2.0 * (x * z + w * y);
    double forwardZ = 1.0 - 2.0 * (x * x + y * y);
    if (std::hypot(forwardX, forwardZ) < 1e-6) {
        // Looking straight down the top of the head points where the face would, straight up
        // the back of it does.
        const double forwardY = 2.0 * (y * z - w * x);
        const double sign = forwardY < 0.0 ? 1.0 : -1.0;
        forwardX = sign * 2.0 * (x * y - w * z);
        forwardZ = sign * 2.0 * (y * z + w * x);
    }
    return std::atan2(forwardX, forwardZ);
}

}  // namespace

MocapPose CircleWalkPose(double seconds) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    const double angle = kTwoPi * seconds / kLapSeconds;
    // Moving counter-clockwise seen from above, the walking direction is (-sin, 0, cos), which is
    // the body +Z axis turned by -angle about Y.
    const double headTurn =
        kHeadTurnDegrees * std::numbers::pi / 180.0 * std::sin(kTwoPi * kHeadTurnHertz * seconds);
    const double yaw = -angle + headTurn;
    MocapPose pose{};
    pose.x = static_cast<float>(kCircleRadiusMetres * std::cos(angle));
    pose.y = static_cast<float>(kHeadHeightMetres);
    pose.z = static_cast<float>(kCircleRadiusMetres * std::sin(angle));
    pose.qx = 0.0f;
    pose.qy = static_cast<float>(std::sin(yaw / 2.0));
    pose.qz = 0.0f;
    pose.qw = static_cast<float>(std::cos(yaw / 2.0));
    return pose;
}

MocapPose OrbitPose(double seconds) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    const double angle = kTwoPi * seconds / kLapSeconds;
    // The direction to the centre, (-cos, 0, -sin), is the body +Z axis turned by
    // -angle - 90 degrees about Y. The pitch turns +Z down towards -Y about the body's +X axis
    // before the yaw turns it, so the orientation is yaw * pitch.
    const double yaw = -angle - std::numbers::pi / 2.0;
    const double pitch = kOrbitPitchDegrees * std::numbers::pi / 180.0;
    const double cy = std::cos(yaw / 2.0);
    const double sy = std::sin(yaw / 2.0);
    const double cp = std::cos(pitch / 2.0);
    const double sp = std::sin(pitch / 2.0);
    MocapPose pose{};
    pose.x = static_cast<float>(kCircleRadiusMetres * std::cos(angle));
    pose.y = static_cast<float>(kHeadHeightMetres);
    pose.z = static_cast<float>(kCircleRadiusMetres * std::sin(angle));
    pose.qx = static_cast<float>(cy * sp);
    pose.qy = static_cast<float>(sy * cp);
    pose.qz = static_cast<float>(-sy * sp);
    pose.qw = static_cast<float>(cy * cp);
    return pose;
}

const char* MocapPathName(MocapPathKind kind) {
    switch (kind) {
        case MocapPathKind::kFixed:
            return "fixed";
        case MocapPathKind::kCircleWalk:
            return "circle";
        case MocapPathKind::kOrbit:
            return "orbit";
    }
    return "?";
}

MocapPose MocapPath::PoseAt(double seconds) const {
    switch (kind) {
        case MocapPathKind::kFixed:
            return fixedPose;
        case MocapPathKind::kCircleWalk:
            return CircleWalkPose(seconds);
        case MocapPathKind::kOrbit:
            return OrbitPose(seconds);
    }
    return fixedPose;
}

MocapPose HandPoseAt(const MocapPath& path, double seconds, HandSide side) {
    const MocapPose head = path.PoseAt(seconds);
    const double heading = HeadingOf(head);
    const bool right = side == HandSide::kRight;
    const double swing = path.kind == MocapPathKind::kFixed
                             ? 0.0
                             : kHandSwingMetres *
                                   std::sin(2.0 * std::numbers::pi * kHandSwingHertz * seconds) *
                                   (right ? 1.0 : -1.0);
    // The offset in the head's heading frame: right is -X, forward +Z.
    const double across = right ? -kHandSideMetres : kHandSideMetres;
    const double forward = kHandForwardMetres + swing;
    const double c = std::cos(heading);
    const double s = std::sin(heading);
    MocapPose hand{};
    hand.x = static_cast<float>(head.x + across * c + forward * s);
    hand.y = static_cast<float>(head.y - kHandBelowEyesMetres);
    hand.z = static_cast<float>(head.z - across * s + forward * c);
    hand.qx = 0.0f;
    hand.qy = static_cast<float>(std::sin(heading / 2.0));
    hand.qz = 0.0f;
    hand.qw = static_cast<float>(std::cos(heading / 2.0));
    return hand;
}
