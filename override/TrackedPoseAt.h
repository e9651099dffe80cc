#pragma once

#include <openxr/openxr.h>

#include "tracking/MocapTracker.h"

// Converts an application's XrTime to seconds on the monotonic clock; false when it cannot (no
// conversion offered by the runtime, or none asked for).
using DisplayClock = bool (*)(XrTime time, double* seconds);

// The headset pose for the views of `time`: predicted to it while prediction is on and the time
// can be converted, otherwise the newest stored pose, exactly as without options. The prediction
// follows the stream's own frame spacing and fades to the newest pose when frames stop coming
// (PredictPose); it never reaches across 100 ms without frames.
HmdPose HmdPoseFor(MocapTracker& tracker, DisplayClock clock, XrTime time);

// Whether the stream counts as lost: the loss option is on and the newest headset frame is older
// than its threshold.
bool TrackingLost(const MocapTracker& tracker);

// Clears the tracked bits that OpenXR uses to say a pose is only the last known one.
template <typename Flags>
void MarkUntracked(Flags* flags, Flags positionTracked, Flags orientationTracked) {
    *flags &= ~(positionTracked | orientationTracked);
}
