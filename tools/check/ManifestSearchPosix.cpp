#include <cstdlib>
#include <string>
#include <vector>

#include "tools/check/ManifestFolders.h"
#include "tools/check/ManifestSearch.h"

namespace {

std::string Variable(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? std::string(value) : fallback;
}

// The base folders in the order the loader searches them.
std::vector<std::string> BaseFolders() {
    std::vector<std::string> bases = SplitPathList(Variable("XDG_CONFIG_DIRS", "/etc/xdg"), ':');
    bases.push_back("/etc");
    const std::string dataHome = UserDataHome();
    if (!dataHome.empty()) {
        bases.push_back(dataHome);
    }
    for (const std::string& data :
         SplitPathList(Variable("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':')) {
        bases.push_back(data);
    }
    return bases;
}

}  // namespace

std::string UserDataHome() {
    const char* home = std::getenv("HOME");
    return Variable("XDG_DATA_HOME", home != nullptr ? std::string(home) + "/.local/share" : "");
}

ManifestSearch SearchLayerManifests() {
    ManifestSearch search;
    const std::vector<std::string> bases = BaseFolders();
    for (const std::string& base : bases) {
        const std::string folder = base + "/openxr/1/api_layers/implicit.d";
        search.places.push_back("implicit: " + folder);
        AddManifestEntry(folder, true, search);
    }
    // XR_API_LAYER_PATH replaces the standard explicit folders.
    const char* layerPath = std::getenv("XR_API_LAYER_PATH");
    if (layerPath != nullptr && layerPath[0] != '\0') {
        search.explicitOverridden = true;
        for (const std::string& entry : SplitPathList(layerPath, ':')) {
            search.places.push_back("explicit (XR_API_LAYER_PATH): " + entry);
            AddManifestEntry(entry, false, search);
        }
        return search;
    }
    for (const std::string& base : bases) {
        const std::string folder = base + "/openxr/1/api_layers/explicit.d";
        search.places.push_back("explicit: " + folder);
        AddManifestEntry(folder, false, search);
    }
    return search;
}
