#pragma once

#include "tools/check/Report.h"

inline constexpr const char* kLayerName = "XR_APILAYER_TARVEX_tracking_override";
inline constexpr const char* kDisableVariable = "DISABLE_TARVEX_TRACKING_OVERRIDE";

// Finds the layer's manifests where the OpenXR loader looks, checks each manifest and its
// library, and whether an environment variable switches the layer off.
void CheckRegistration(Report& report);
