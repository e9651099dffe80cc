#pragma once

#include <cstdint>

#include "tools/check/Report.h"
#include "tracking/TrackingSettings.h"

// Ports that replace the layer's fixed command and data ports; zero keeps the layer's. Only tests
// use them, to reach a simulator on ports the system chose.
struct MocapPorts {
    uint16_t command = 0;
    uint16_t data = 0;
};

// Connects as the layer would (the configured server first, discovery when that fails), takes
// frames for the given time and reports the server, the frame rate and whether the stream kept
// flowing, the rigid bodies seen, the headset's pose as the layer would store it, and the latency.
void CheckMotionCapture(const TrackingSettings& settings, double seconds, Report& report,
                        const MocapPorts& ports = {});
