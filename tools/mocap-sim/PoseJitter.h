#pragma once

// Measurement noise on a rigid body's pose, as an optical system adds it: every frame's position
// and orientation are moved by independent Gaussian errors of the given root-mean-square size.

#include <cstdint>
#include <random>

#include "tools/mocap-sim/MocapPath.h"

// The sizes the simulator's --jitter uses: a typical order of magnitude for a calibrated optical
// system over a room-sized volume, not a figure of any particular one.
inline constexpr double kDefaultJitterPositionMm = 0.2;
inline constexpr double kDefaultJitterOrientationDegrees = 0.05;

class PoseJitter {
public:
    // RMS of the length of the position error (millimetres) and of the angle of the orientation
    // error (degrees); zero leaves that part unchanged. The seed makes runs repeatable.
    PoseJitter(double positionRmsMm, double orientationRmsDegrees, uint64_t seed);

    MocapPose Apply(const MocapPose& pose);

private:
    std::mt19937_64 random_;
    std::normal_distribution<double> normal_{0.0, 1.0};
    double positionSigmaMetres_;      // per axis
    double orientationSigmaRadians_;  // per axis of the rotation vector
};
