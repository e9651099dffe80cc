#pragma once

#include <optional>

#include "tools/check/Report.h"
#include "tracking/TrackingSettings.h"

// Reads the configuration as the layer's start-up does, with the same code and messages; the
// settings when they could be read.
std::optional<TrackingSettings> CheckConfiguration(Report& report);
