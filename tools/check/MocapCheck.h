#pragma once

#include "tools/check/Report.h"
#include "tracking/TrackingSettings.h"

// Connects as the layer would (the configured server first, discovery when that fails), takes
// frames for the given time and reports the server, the frame rate, the rigid bodies seen, the
// headset's pose as the layer would store it, and the latency.
void CheckMotionCapture(const TrackingSettings& settings, double seconds, Report& report);
