#pragma once

#include <cmath>
#include <numbers>
#include <vector>

#include "tools/mocap-sim/MocapPath.h"

// Dates heads received on the simulator's circle walk. A head's heading less the bearing of its
// position from the origin is unchanged by any turn about the vertical axis through the origin,
// such as the layer's half turn and yaw alignment. On the walk the walking part cancels and the
// head turn is left, which follows time: it dates a received head without knowing the alignment.
namespace walk_dating {

inline double WrapAngle(double radians) {
    return std::remainder(radians, 2.0 * std::numbers::pi);
}

// For a head that turns about +Y only, its quaternion's y and w.
inline double HeadingAgainstBearing(double x, double z, double qy, double qw) {
    return WrapAngle(2.0 * std::atan2(qy, qw) - std::atan2(x, z));
}

inline double PathHeadingAgainstBearing(double pathSeconds) {
    const MocapPose pose = CircleWalkPose(pathSeconds);
    return HeadingAgainstBearing(pose.x, pose.z, pose.qy, pose.qw);
}

struct DatedHead {
    double pathSeconds;  // path time of the call that received the head
    double headingAgainstBearing;
};

// Root mean square (radians) of the heads' difference from the path at their time plus `shift`,
// less the constant part of that difference.
inline double Residual(const std::vector<DatedHead>& heads, double shift) {
    std::vector<double> residuals;
    double s = 0.0;
    double c = 0.0;
    for (const DatedHead& head : heads) {
        const double r = WrapAngle(head.headingAgainstBearing -
                                   PathHeadingAgainstBearing(head.pathSeconds + shift));
        residuals.push_back(r);
        s += std::sin(r);
        c += std::cos(r);
    }
    const double constant = std::atan2(s, c);
    double sum = 0.0;
    for (const double r : residuals) {
        sum += WrapAngle(r - constant) * WrapAngle(r - constant);
    }
    return std::sqrt(sum / static_cast<double>(residuals.size()));
}

// The common shift (seconds) for which the heads best match the path at their time plus it, up
// to a constant angle; with the residual's root mean square (radians).
struct TimeShift {
    double seconds = 0.0;
    double rmsRadians = 1e9;
};

inline TimeShift FitTimeShift(const std::vector<DatedHead>& heads, double from, double to,
                              double step) {
    TimeShift best{from, 1e9};
    for (double shift = from; shift <= to; shift += step) {
        if (const double rms = Residual(heads, shift); rms < best.rmsRadians) {
            best = {shift, rms};
        }
    }
    return best;
}

}  // namespace walk_dating
