#include "tools/mocap-sim/MocapPath.h"

#include <cmath>
#include <numbers>

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
