#pragma once

#include <openxr/openxr.h>

#include "tools/mocap-sim/MocapPath.h"

namespace demo {

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

// Heading of an orientation: the angle of its rotated +Z axis, from +Z towards +X, in radians.
double Heading(const XrQuaternionf& q);

// Turns a vector by a yaw (about +Y; a yaw of psi turns +Z towards +X).
Vec3 Yawed(const Vec3& v, double yaw);

Vec3 ToVec3(const XrVector3f& v);
Vec3 Midpoint(const XrVector3f& a, const XrVector3f& b);
double Distance(const Vec3& a, const Vec3& b);

// Angle a - b wrapped into (-pi, pi].
double AngleDifference(double a, double b);

// A simulator pose as the application sees it once the layer has taken it in: the half turn of
// the motion-capture axes about Y, then the layer's yaw alignment about the origin.
struct AppPose {
    Vec3 position;
    double heading = 0.0;
};
AppPose MocapToApplication(const MocapPose& pose, double alignmentYaw);

constexpr double kDegrees = 180.0 / 3.14159265358979323846;

}  // namespace demo
