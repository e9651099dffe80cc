#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "tools/demo/DemoSession.h"
#include "tools/demo/PoseMath.h"

namespace demo {

// How far the received head trails the simulator's circle walk. Each received head (the midpoint
// of the two eyes, and the heading) is matched with the path time whose pose, brought into the
// application's frame, is nearest; the lag is the time of the xrLocateViews call minus that path
// time, both on the monotonic clock.
struct LagReport {
    double alignmentYaw = 0.0;  // the layer's yaw alignment, as fitted here (radians)
    size_t total = 0;
    size_t matched = 0;  // samples whose nearest path pose lies within kMatchToleranceMetres
    double medianSeconds = 0.0;
    double p99Seconds = 0.0;
    double medianResidualMetres = 0.0;
};

inline constexpr double kMatchToleranceMetres = 0.01;

// The layer captures its yaw alignment at an unknown instant, so it is fitted together with a
// common lag. On a walk around the origin a turn about the origin looks like a shift in time
// (position and walking direction both advance with the lap), so fitting the turn alone would
// swallow the lag; only the head turns, which follow time and not place, tell the two apart.
// nullopt when there is no sample.
std::optional<LagReport> AnalyseLag(const std::vector<ViewSample>& samples, double pathStart);

// The simulator's path in the application's frame over [from, to] (path seconds), for the plot.
std::vector<Vec3> PathInApplicationFrame(double alignmentYaw, double from, double to);

}  // namespace demo
