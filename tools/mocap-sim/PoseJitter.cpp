#include "tools/mocap-sim/PoseJitter.h"

#include <cmath>
#include <numbers>

namespace {

// Three independent axes of sigma s give an error whose length has an RMS of s * sqrt(3).
double PerAxis(double rms) {
    return rms / std::sqrt(3.0);
}

}  // namespace

PoseJitter::PoseJitter(double positionRmsMm, double orientationRmsDegrees, uint64_t seed)
    : random_(seed),
      positionSigmaMetres_(PerAxis(positionRmsMm * 0.001)),
      orientationSigmaRadians_(PerAxis(orientationRmsDegrees * std::numbers::pi / 180.0)) {}

MocapPose PoseJitter::Apply(const MocapPose& pose) {
    MocapPose noisy = pose;
    if (positionSigmaMetres_ > 0.0) {
        noisy.x = static_cast<float>(pose.x + positionSigmaMetres_ * normal_(random_));
        noisy.y = static_cast<float>(pose.y + positionSigmaMetres_ * normal_(random_));
        noisy.z = static_cast<float>(pose.z + positionSigmaMetres_ * normal_(random_));
    }
    if (orientationSigmaRadians_ > 0.0) {
        // A small rotation about a random axis, applied in the capture frame: exp(r) * q.
        const double rx = orientationSigmaRadians_ * normal_(random_);
        const double ry = orientationSigmaRadians_ * normal_(random_);
        const double rz = orientationSigmaRadians_ * normal_(random_);
        const double angle = std::sqrt(rx * rx + ry * ry + rz * rz);
        const double scale = angle < 1e-12 ? 0.5 : std::sin(angle / 2.0) / angle;
        const double ex = rx * scale;
        const double ey = ry * scale;
        const double ez = rz * scale;
        const double ew = std::cos(angle / 2.0);
        const double qx = pose.qx;
        const double qy = pose.qy;
        const double qz = pose.qz;
        const double qw = pose.qw;
        noisy.qx = static_cast<float>(ew * qx + ex * qw + ey * qz - ez * qy);
        noisy.qy = static_cast<float>(ew * qy - ex * qz + ey * qw + ez * qx);
        noisy.qz = static_cast<float>(ew * qz + ex * qy - ey * qx + ez * qw);
        noisy.qw = static_cast<float>(ew * qw - ex * qx - ey * qy - ez * qz);
    }
    return noisy;
}
