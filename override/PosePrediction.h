#pragma once

#include "tracking/PoseHistory.h"

struct PredictionLimits {
    double maxHorizon;  // seconds past the newest sample that a prediction may reach
    double maxGap;      // seconds between samples (or since the newest) that break the stream
};

// The headset pose at `target` (monotonic seconds), from the newest samples: a least-squares line
// through the newest run of samples without a gap, for position and for orientation (as rotation
// vectors relative to the newest orientation), evaluated at the target. A line over several
// samples rather than the last two keeps the capture's jitter from being magnified.
//
// The newest pose is returned unchanged when fewer than two samples form such a run, or when the
// newest sample is older than maxGap at `now`: the stream has stopped, and nothing is known of
// the head's motion since. The target is clamped to [newest, newest + maxHorizon].
PoseSample PredictPose(const PoseHistory::Snapshot& history, double target, double now,
                       const PredictionLimits& limits);
