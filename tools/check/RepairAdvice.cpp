#include "tools/check/RepairAdvice.h"

namespace {

#ifdef _WIN32
constexpr const char* kRunScript = "run install-layer.ps1 again from the layer's folder";
#else
constexpr const char* kRunScript =
    "run share/tarvex_tracking/install-layer.sh again from the layer's folder";
#endif

constexpr const char* kNoScript =
    " (running install-layer.sh would register the layer a second time)";

bool Under(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() &&
           path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

}  // namespace

std::string RepairAdvice(const std::string& manifestPath, const std::string& userDataHome) {
#ifdef _WIN32
    static_cast<void>(userDataHome);
    static_cast<void>(manifestPath);
    return kRunScript;
#else
    const std::string folder = userDataHome.size() > 1 && userDataHome.back() == '/'
                                   ? userDataHome.substr(0, userDataHome.size() - 1)
                                   : userDataHome;
    if (Under(manifestPath, folder)) {
        return kRunScript;
    }
    // The packages put the manifest in <prefix>/share/openxr/1/api_layers/.
    const size_t share = manifestPath.find("/share/openxr/");
    const std::string prefix =
        share == std::string::npos ? std::string() : manifestPath.substr(0, share);
    if (prefix == "/usr") {
        return std::string("reinstall the package: sudo apt reinstall tarvex-tracking") + kNoScript;
    }
    if (!prefix.empty()) {
        return "unpack the tarball again into " + prefix +
               ": tar -xzf tarvex_tracking-*.tar.gz -C " + prefix +
               " (with sudo where the folder belongs to root)" + kNoScript;
    }
    return std::string(
               "reinstall the package that put this manifest there, or correct "
               "library_path in it") +
           kNoScript;
#endif
}
