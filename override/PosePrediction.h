#pragma once

#include "tracking/PoseHistory.h"

struct PredictionLimits {
    double maxHorizon;  // seconds past the newest sample's capture that a prediction may reach
    // The longest silence, between two captures or since the newest frame arrived, that
    // prediction reaches across, whatever the stream's rate.
    double maxGap;
};

// The headset pose at `target` (monotonic seconds), from the newest samples: a least-squares line
// through the newest run of samples, for position and for orientation (as rotation vectors
// relative to the newest orientation), evaluated at the target. A line over several samples rather
// than the last two keeps the capture's jitter from being magnified, and fits samples with a frame
// lost between them as well as evenly spaced ones.
//
// The run reaches back across lost frames, so that one lost or late frame costs no prediction: it
// ends only at a silence between two captures longer than maxGap, or where a capture is no later
// than the one before it (a capture clock that stepped back). Fewer than two samples in it give the
// newest pose unchanged.
//
// How long prediction stays full follows the stream's own spacing, the typical time between its
// captures (the lower median of the positive differences, which lost frames do not move), so that
// any rate and any latency predict alike. The silence counts from the newest frame's arrival, not
// its capture, as the stream's latency is no silence: prediction is full while it is under
// max(2 spacings, 25 ms), then fades linearly to the newest pose over max(1 spacing, 25 ms), gone
// by maxGap at the latest. The 25 ms floor keeps a frame late on a loaded machine at high rates
// from snapping the head back, and the fade keeps the head from jumping when the stream stops. The
// target is clamped to [newest capture, newest capture + maxHorizon].
PoseSample PredictPose(const PoseHistory::Snapshot& history, double target, double now,
                       const PredictionLimits& limits);
