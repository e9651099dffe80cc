#include "override/TrackedPoseAt.h"

#include "override/PosePrediction.h"
#include "platform/Platform.h"

namespace {

// Samples further apart than this, or a newest sample older than this, mean the stream stopped:
// prediction does not reach across.
constexpr double kStreamGapSeconds = 0.030;

}  // namespace

HmdPose HmdPoseFor(MocapTracker& tracker, DisplayClock clock, XrTime time) {
    const HmdPose stored = tracker.ReadPose();
    if (!stored.valid || clock == nullptr ||
        !tracker.options.predictDisplayTime.load(std::memory_order_relaxed)) {
        return stored;
    }
    double target = 0.0;
    if (!clock(time, &target)) {
        return stored;
    }
    const PoseHistory::Snapshot history = tracker.poseHistory.Read();
    if (history.count == 0) {
        return stored;
    }
    const double maxHorizon =
        static_cast<double>(tracker.options.maxPredictionMs.load(std::memory_order_relaxed)) *
        0.001;
    const PoseSample predicted =
        PredictPose(history, target, platform::MonotonicSeconds(), {maxHorizon, kStreamGapSeconds});
    return {predicted.position, predicted.orientation, true};
}

bool TrackingLost(const MocapTracker& tracker) {
    const float thresholdMs = tracker.options.trackingLossMs.load(std::memory_order_relaxed);
    if (thresholdMs <= 0.0f) {
        return false;
    }
    const double age = platform::MonotonicSeconds() - tracker.lastHeadsetFrameTime.load();
    return age * 1000.0 > static_cast<double>(thresholdMs);
}
