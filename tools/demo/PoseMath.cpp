#include "tools/demo/PoseMath.h"

#include <cmath>
#include <numbers>

namespace demo {

double Heading(const XrQuaternionf& q) {
    const double a = 2.0 * (static_cast<double>(q.y) * q.w + static_cast<double>(q.x) * q.z);
    const double b = 1.0 - 2.0 * (static_cast<double>(q.y) * q.y + static_cast<double>(q.x) * q.x);
    return std::atan2(a, b);
}

Vec3 Yawed(const Vec3& v, double yaw) {
    const double c = std::cos(yaw);
    const double s = std::sin(yaw);
    return {v.x * c + v.z * s, v.y, -v.x * s + v.z * c};
}

Vec3 ToVec3(const XrVector3f& v) {
    return {v.x, v.y, v.z};
}

Vec3 Midpoint(const XrVector3f& a, const XrVector3f& b) {
    return {(static_cast<double>(a.x) + b.x) / 2.0, (static_cast<double>(a.y) + b.y) / 2.0,
            (static_cast<double>(a.z) + b.z) / 2.0};
}

double Distance(const Vec3& a, const Vec3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

double AngleDifference(double a, double b) {
    double d = std::fmod(a - b, 2.0 * std::numbers::pi);
    if (d > std::numbers::pi) {
        d -= 2.0 * std::numbers::pi;
    } else if (d <= -std::numbers::pi) {
        d += 2.0 * std::numbers::pi;
    }
    return d;
}

AppPose MocapToApplication(const MocapPose& pose, double alignmentYaw) {
    // The half turn maps (x, y, z) to (-x, y, -z) and keeps the heading's yaw component.
    const Vec3 turned{-static_cast<double>(pose.x), pose.y, -static_cast<double>(pose.z)};
    const XrQuaternionf orientation{-pose.qx, pose.qy, -pose.qz, pose.qw};
    return {Yawed(turned, alignmentYaw), Heading(orientation) + alignmentYaw};
}

}  // namespace demo
