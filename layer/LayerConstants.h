#pragma once

#include <openxr/openxr.h>

inline constexpr const char* kLayerName = "XR_APILAYER_TARVEX_tracking_override";

// Our own API version constant: the layer is written against OpenXR 1.1.40, while the headers
// it compiles with may be older (nothing it uses is newer than 1.0).
inline constexpr XrVersion kLayerApiVersion = XR_MAKE_VERSION(1, 1, 40);
static_assert(kLayerApiVersion == 0x1000100000028ULL);

inline constexpr uint32_t kLayerInterfaceVersion = 1;
