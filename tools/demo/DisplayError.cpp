#include "tools/demo/DisplayError.h"

#include <algorithm>
#include <cmath>

#include "tools/demo/PoseMath.h"
#include "tools/demo/Statistics.h"
#include "tools/mocap-sim/MocapPath.h"

namespace demo {
namespace {

struct Quaternion {
    double x, y, z, w;
};

Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// The path's orientation as the application receives it: the half turn about Y conjugates the
// quaternion (x and z change sign), then the alignment yaw turns it about the vertical.
Quaternion ApplicationOrientation(const MocapPose& pose, double alignmentYaw) {
    const Quaternion turned{-static_cast<double>(pose.qx), pose.qy, -static_cast<double>(pose.qz),
                            pose.qw};
    const Quaternion yaw{0.0, std::sin(alignmentYaw / 2.0), 0.0, std::cos(alignmentYaw / 2.0)};
    return Multiply(yaw, turned);
}

// The angle of the turn between two orientations, from the vector part of a * conj(b): it keeps
// its precision at the small angles measured here, where an arc cosine would not.
double AngleBetween(const Quaternion& a, const Quaternion& b) {
    const Quaternion d = Multiply(a, {-b.x, -b.y, -b.z, b.w});
    const double sine = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return 2.0 * std::atan2(sine, std::fabs(d.w));
}

}  // namespace

std::optional<DisplayErrorReport> MeasureDisplayError(const std::vector<ViewSample>& samples,
                                                      double pathStart, double alignmentYaw) {
    if (samples.empty()) {
        return std::nullopt;
    }
    DisplayErrorReport report;
    report.frames = samples.size();
    report.frameErrors.reserve(samples.size());
    // Sized up front: besides saving regrowth, it spares GCC 12 at -O3 a false
    // -Wfree-nonheap-object on these vectors.
    std::vector<double> positions;
    std::vector<double> rotations;
    std::vector<double> ahead;
    positions.reserve(samples.size());
    rotations.reserve(samples.size());
    ahead.reserve(samples.size());
    const double firstDisplay = samples.front().displaySeconds;
    for (const ViewSample& sample : samples) {
        const double display = sample.displaySeconds;
        const MocapPose path = CircleWalkPose(display - pathStart);
        const AppPose expected = MocapToApplication(path, alignmentYaw);
        const Vec3 head = Midpoint(sample.left.position, sample.right.position);
        const XrQuaternionf& q = sample.left.orientation;
        const double rotation =
            AngleBetween({q.x, q.y, q.z, q.w}, ApplicationOrientation(path, alignmentYaw));
        FrameError error{display - firstDisplay, Distance(head, expected.position) * 1000.0,
                         rotation * kDegrees};
        report.frameErrors.push_back(error);
        positions.push_back(error.positionMm);
        rotations.push_back(error.rotationDegrees);
        ahead.push_back((display - sample.callSeconds) * 1000.0);
    }
    report.positionMedianMm = Percentile(positions, 0.5);
    report.positionP99Mm = Percentile(positions, 0.99);
    report.rotationMedianDegrees = Percentile(rotations, 0.5);
    report.rotationP99Degrees = Percentile(rotations, 0.99);
    report.displayAheadMedianMs = Percentile(ahead, 0.5);
    return report;
}

size_t CountUntrackedFrames(const std::vector<ViewSample>& samples) {
    constexpr XrViewStateFlags kTracked =
        XR_VIEW_STATE_POSITION_TRACKED_BIT | XR_VIEW_STATE_ORIENTATION_TRACKED_BIT;
    return static_cast<size_t>(std::count_if(
        samples.begin(), samples.end(),
        [](const ViewSample& sample) { return (sample.viewStateFlags & kTracked) != kTracked; }));
}

}  // namespace demo
