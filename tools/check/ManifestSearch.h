#pragma once

// Where the OpenXR loader looks for API-layer manifests on this platform, and the manifest files
// it would find there. One implementation per platform, chosen by the build.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ManifestCandidate {
    std::string path;
    bool implicit = false;
    std::string source;                     // the folder or registry key it was found through
    std::optional<uint32_t> registryValue;  // Windows: the value's data; nonzero disables it
};

struct ManifestSearch {
    // Every place looked in, as "implicit: <folder or key>" or "explicit: ...", in search order.
    std::vector<std::string> places;
    std::vector<ManifestCandidate> candidates;
    // Set when XR_API_LAYER_PATH replaced the standard explicit places.
    bool explicitOverridden = false;
};

ManifestSearch SearchLayerManifests();

// The user's own data folder, where the install script registers the layer ($XDG_DATA_HOME or
// ~/.local/share); empty where registrations are not files in folders (Windows).
std::string UserDataHome();
