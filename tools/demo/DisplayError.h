#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "tools/demo/DemoSession.h"

namespace demo {

// One frame's error: how far the received head (the midpoint of the eyes, and the view
// orientation) lies from where the simulator's circle walk puts the head at the frame's display
// time, which is when a person sees the frame.
struct FrameError {
    double seconds = 0.0;  // display time since the first frame's
    double positionMm = 0.0;
    double rotationDegrees = 0.0;
};

struct DisplayErrorReport {
    size_t frames = 0;
    double positionMedianMm = 0.0;
    double positionP99Mm = 0.0;
    double rotationMedianDegrees = 0.0;
    double rotationP99Degrees = 0.0;
    double displayAheadMedianMs = 0.0;  // display time minus the xrLocateViews call
    std::vector<FrameError> frameErrors;
};

// The path is brought into the application's frame as the layer brings poses there: the half turn
// of the motion-capture axes, then the layer's yaw alignment (as PathAnalysis fits it). Display
// times are the runtime's XrTime, nanoseconds on the monotonic clock the simulator's start is
// given on. nullopt when there is no sample.
std::optional<DisplayErrorReport> MeasureDisplayError(const std::vector<ViewSample>& samples,
                                                      double pathStart, double alignmentYaw);

// Frames whose view state lacks the position or the orientation tracked bit: the layer's sign
// that its headset data is stale.
size_t CountUntrackedFrames(const std::vector<ViewSample>& samples);

}  // namespace demo
