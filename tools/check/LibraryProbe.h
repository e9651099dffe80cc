#pragma once

// Loads a layer library the way the OpenXR loader would and looks for its negotiation entry.
// One implementation per platform, chosen by the build.

#include <string>

struct LibraryProbe {
    bool loaded = false;
    bool exportsNegotiation = false;  // xrNegotiateLoaderApiLayerInterface
    std::string error;                // the system's reason when it did not load
};

// path is a full path, or a bare file name that the system's library search resolves.
LibraryProbe ProbeLayerLibrary(const std::string& path);

inline constexpr const char* kNegotiationEntry = "xrNegotiateLoaderApiLayerInterface";
