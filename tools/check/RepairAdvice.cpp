#include "tools/check/RepairAdvice.h"

namespace {

constexpr const char* kNoScript =
    "; not install-layer.sh, which would register the layer a "
    "second time";

bool Under(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() &&
           path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

}  // namespace

bool PackageRegistration(const std::string& manifestPath, const std::string& userDataHome) {
#ifdef _WIN32
    // Every registration on Windows is the install script's.
    static_cast<void>(manifestPath);
    static_cast<void>(userDataHome);
    return false;
#else
    const std::string folder = userDataHome.size() > 1 && userDataHome.back() == '/'
                                   ? userDataHome.substr(0, userDataHome.size() - 1)
                                   : userDataHome;
    return !Under(manifestPath, folder);
#endif
}

std::string RepairAdvice(const std::string& manifestPath, const std::string& userDataHome) {
#ifdef _WIN32
    if (!PackageRegistration(manifestPath, userDataHome)) {
        return "run install-layer.ps1 again from the layer's folder (unpack the ZIP there again "
               "first if its files are gone)";
    }
#endif
    if (!PackageRegistration(manifestPath, userDataHome)) {
        return "run share/tarvex_tracking/install-layer.sh again from the layer's folder (unpack "
               "the tarball there again first if its files are gone)";
    }
    // The packages put the manifest in <prefix>/share/openxr/1/api_layers/.
    const size_t share = manifestPath.find("/share/openxr/");
    const std::string prefix =
        share == std::string::npos ? std::string() : manifestPath.substr(0, share);
    if (prefix == "/usr") {
        // apt reinstalls by name only what it can download: a package installed from a local
        // .deb comes back from that file.
        return std::string(
                   "reinstall the package from its file, in the folder that holds it: "
                   "sudo apt install --reinstall ./tarvex-tracking_*.deb") +
               kNoScript;
    }
    if (!prefix.empty()) {
        const std::string sudo = Under(prefix, "/usr") || Under(prefix, "/opt") ? "sudo " : "";
        return "unpack the tarball again: " + sudo + "tar -xzf tarvex_tracking-*.tar.gz -C " +
               prefix + kNoScript;
    }
    return std::string("reinstall what put this manifest there, or correct it") + kNoScript;
}
