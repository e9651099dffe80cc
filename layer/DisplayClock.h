#pragma once

#include <openxr/openxr.h>

// The application's XrTime on the monotonic clock, through the runtime's time-conversion
// extension that the current instance enabled for the prediction option; false without one.
bool LayerDisplayClock(XrTime time, double* seconds);
