#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/check/ManifestFolders.h"
#include "tools/check/ManifestSearch.h"

namespace {

constexpr const char* kLayersKey = "SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers";

// Every value of one key: the value's name is a manifest path, its DWORD data 0 enables it.
void AddRegistryKey(HKEY root, const char* rootName, bool implicit, ManifestSearch& search) {
    const std::string subKey = std::string(kLayersKey) + (implicit ? "\\Implicit" : "\\Explicit");
    const std::string where = std::string(rootName) + "\\" + subKey;
    search.places.push_back(std::string(implicit ? "implicit: " : "explicit: ") + where);
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH * 4];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD data = 0;
        DWORD dataSize = sizeof data;
        const LONG status = RegEnumValueA(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(&data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
            continue;
        }
        ManifestCandidate candidate{std::string(name, nameLength), implicit, where, std::nullopt};
        // A value that is no DWORD is skipped by the loader; mark it as not enabling the layer.
        candidate.registryValue = type == REG_DWORD ? data : 0xFFFFFFFFu;
        search.candidates.push_back(std::move(candidate));
    }
    RegCloseKey(key);
}

}  // namespace

ManifestSearch SearchLayerManifests() {
    ManifestSearch search;
    AddRegistryKey(HKEY_LOCAL_MACHINE, "HKLM", true, search);
    AddRegistryKey(HKEY_CURRENT_USER, "HKCU", true, search);
    // XR_API_LAYER_PATH replaces the standard explicit keys.
    const char* layerPath = std::getenv("XR_API_LAYER_PATH");
    if (layerPath != nullptr && layerPath[0] != '\0') {
        search.explicitOverridden = true;
        for (const std::string& entry : SplitPathList(layerPath, ';')) {
            search.places.push_back("explicit (XR_API_LAYER_PATH): " + entry);
            AddManifestEntry(entry, false, search);
        }
        return search;
    }
    AddRegistryKey(HKEY_LOCAL_MACHINE, "HKLM", false, search);
    AddRegistryKey(HKEY_CURRENT_USER, "HKCU", false, search);
    return search;
}

std::string UserDataHome() {
    return {};
}
