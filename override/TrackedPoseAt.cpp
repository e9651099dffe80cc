#include "override/TrackedPoseAt.h"

#include "override/PosePrediction.h"
#include "platform/Platform.h"

namespace {

// Prediction follows the stream's own spacing (PredictPose), but never reaches across more than
// this without frames, whatever the rate: by then the head may have done anything. At 30 Hz the
// fade after a stop ends just here; streams slower than 10 Hz are not predicted.
constexpr double kMaxGapSeconds = 0.100;

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
    // A history that frames overtook on every attempt: this once, the newest pose unpredicted.
    PoseHistory::Snapshot history;
    if (!tracker.headset.history.Read(&history) || history.count == 0) {
        return stored;
    }
    const double maxHorizon =
        static_cast<double>(tracker.options.maxPredictionMs.load(std::memory_order_relaxed)) *
        0.001;
    const PoseSample predicted =
        PredictPose(history, target, platform::MonotonicSeconds(), {maxHorizon, kMaxGapSeconds});
    return {predicted.position, predicted.orientation, true};
}

bool TrackingLost(const MocapTracker& tracker) {
    const float thresholdMs = tracker.options.trackingLossMs.load(std::memory_order_relaxed);
    if (thresholdMs <= 0.0f) {
        return false;
    }
    const double age = platform::MonotonicSeconds() - tracker.headset.newestFrameTime.load();
    return age * 1000.0 > static_cast<double>(thresholdMs);
}
