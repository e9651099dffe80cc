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

MocapPose MocapPath::PoseAt(double seconds) const {
    return kind == MocapPathKind::kFixed ? fixedPose : CircleWalkPose(seconds);
}
