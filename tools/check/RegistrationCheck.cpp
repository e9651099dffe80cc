#include "tools/check/RegistrationCheck.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "tools/check/LibraryProbe.h"
#include "tools/check/ManifestCheck.h"
#include "tools/check/ManifestSearch.h"
#include "tools/check/RepairAdvice.h"
#include "tracking/TrackingSettings.h"

namespace {

constexpr const char* kSection = "registration";

#ifdef _WIN32
constexpr const char* kImplicitInstall = "run install-layer.ps1";
constexpr const char* kInstallAdvice =
    "run install-layer.ps1 from the layer's folder (powershell -ExecutionPolicy Bypass -File "
    ".\\install-layer.ps1), or add the manifest's full path as a DWORD value 0 under HKLM or "
    "HKCU\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit";
#else
constexpr const char* kImplicitInstall = "run install-layer.sh without --explicit";
// Not "copy the manifest": the packages' manifests name the library relative to their own folder.
constexpr const char* kInstallAdvice =
    "install the Debian package (sudo apt install ./tarvex-tracking_*.deb), or unpack the tarball "
    "into /usr/local or run share/tarvex_tracking/install-layer.sh from where you unpacked it";
#endif

std::string Kind(const ManifestCandidate& candidate) {
    return candidate.implicit ? "implicit" : "explicit";
}

bool VariableSet(const std::string& name, std::string* value) {
    const char* text = std::getenv(name.c_str());
    if (text == nullptr) {
        return false;
    }
    *value = text;
    return true;
}

bool ListsOurLayer(const char* list) {
    if (list == nullptr) {
        return false;
    }
    const std::string text(list);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(";:, ", start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (text.compare(start, end - start, kLayerName) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Checks one of our manifests and its library; true when the loader could use it.
bool CheckManifest(const ManifestCandidate& candidate, const ManifestFindings& findings,
                   Report& report, JsonValue& facts) {
    const std::string where = candidate.path + " (" + Kind(candidate) + ")";
    // A package's files are mended by the package, not edited by hand.
    const bool package = PackageRegistration(candidate.path, UserDataHome());
    facts["path"] = candidate.path;
    facts["kind"] = Kind(candidate);
    facts["source"] = candidate.source;
    if (candidate.registryValue) {
        facts["registry_value"] = *candidate.registryValue;
    }

    if (candidate.registryValue && *candidate.registryValue != 0) {
        report.Add(kSection, "manifest", Verdict::kFail,
                   "manifest " + where + " is registered with value " +
                       std::to_string(*candidate.registryValue) + ", which disables it",
                   "set the value under " + candidate.source + " to the DWORD 0");
        return false;
    }
    if (!findings.readable) {
        report.Add(kSection, "manifest", Verdict::kFail,
                   "manifest " + where + " is registered but cannot be read",
                   RepairAdvice(candidate.path, UserDataHome()) + "; or remove it from " +
                       candidate.source);
        return false;
    }
    facts["parses"] = findings.document.has_value();
    if (!findings.problem.empty()) {
        report.Add(kSection, "manifest", Verdict::kFail,
                   "manifest " + where + " " + findings.problem,
                   RepairAdvice(candidate.path, UserDataHome()) +
                       (package ? "" : "; or fix this one by hand"));
        return false;
    }
    report.Add(kSection, "manifest", Verdict::kOk, "manifest " + where + " names " + kLayerName);

    facts["library_path"] = findings.libraryPath;
    facts["library"] = findings.resolvedLibrary;
    std::error_code error;
    if (!findings.libraryIsBareName &&
        !std::filesystem::exists(std::filesystem::path(findings.resolvedLibrary), error)) {
        facts["library_loads"] = false;
        report.Add(kSection, "library", Verdict::kFail,
                   "library " + findings.resolvedLibrary + " not found (library_path \"" +
                       findings.libraryPath + "\" in " + candidate.path + ")",
                   RepairAdvice(candidate.path, UserDataHome()) +
                       (package ? ""
                                : "; or correct library_path (a relative path counts from the "
                                  "manifest's folder)"));
        return false;
    }
    const LibraryProbe probe = ProbeLayerLibrary(findings.resolvedLibrary);
    facts["library_loads"] = probe.loaded;
    facts["exports_negotiation"] = probe.exportsNegotiation;
    if (!probe.loaded) {
        report.Add(kSection, "library", Verdict::kFail,
                   "library " + findings.resolvedLibrary + " does not load: " + probe.error,
                   "install what it is missing, or rebuild the layer for this system");
        return false;
    }
    if (!probe.exportsNegotiation) {
        report.Add(kSection, "library", Verdict::kFail,
                   "library " + findings.resolvedLibrary + " loads but does not export " +
                       kNegotiationEntry,
                   "library_path names another library: point it at the tarvex_tracking library");
        return false;
    }
    report.Add(kSection, "library", Verdict::kOk,
               "library " + findings.resolvedLibrary + " loads and exports " + kNegotiationEntry);
    return true;
}

void CheckEnvironment(const std::vector<ManifestFindings>& ours, Report& report) {
    // The loader honours the variable the manifest names; ours names DISABLE_..., and without a
    // readable manifest that is the one to look at.
    std::set<std::string> disableNames;
    std::set<std::string> enableNames;
    for (const ManifestFindings& findings : ours) {
        if (!findings.disableEnvironment.empty()) {
            disableNames.insert(findings.disableEnvironment);
        }
        if (!findings.enableEnvironment.empty()) {
            enableNames.insert(findings.enableEnvironment);
        }
    }
    if (disableNames.empty()) {
        disableNames.insert(kDisableVariable);
    }
    bool disabled = false;
    for (const std::string& name : disableNames) {
        std::string value;
        if (VariableSet(name, &value)) {
            disabled = true;
            report.Add(kSection, "disable", Verdict::kFail,
                       name + " is set (to \"" + value + "\"): the loader skips the layer",
                       "unset " + name + " in the environment that starts the application");
        }
    }
    std::string value;
    if (disableNames.count(kDisableVariable) == 0 && VariableSet(kDisableVariable, &value)) {
        report.Add(kSection, "disable", Verdict::kWarn,
                   std::string(kDisableVariable) + " is set, but the manifest's switch is " +
                       *disableNames.begin() + ", so it does not switch the layer off",
                   "use " + *disableNames.begin() + " to switch the layer off");
    } else if (!disabled) {
        report.Add(kSection, "disable", Verdict::kOk,
                   *disableNames.begin() +
                       (disableNames.size() > 1 ? " and the others are" : " is") + " not set");
    }
    for (const std::string& name : enableNames) {
        // The configuration check reports the layer's own variable: one cause, one failure.
        if (name != kConfigVariable && !VariableSet(name, &value)) {
            report.Add(kSection, "enable", Verdict::kFail,
                       "the manifest loads the layer only while " + name + " is set, and it is not",
                       "set " + name + " in the environment the application starts from");
        }
    }
}

// For which processes an implicit manifest has the loader load the layer, read from the manifest's
// own fields: the loader skips it unless enable_environment (when given) is set, and always when
// disable_environment is set; a variable set to the empty text counts as set.
void ReportActivation(const std::vector<ManifestFindings>& ours, Report& report) {
    JsonValue activations = JsonValue::array();
    for (const ManifestFindings& findings : ours) {
        if (!findings.implicit || !findings.problem.empty()) {
            continue;
        }
        const std::string& enable = findings.enableEnvironment;
        const std::string& disable = findings.disableEnvironment;
        std::string value;
        const bool enabled = enable.empty() || VariableSet(enable, &value);
        const bool disabled = VariableSet(disable, &value);
        const bool active = enabled && !disabled;
        std::string message =
            enable.empty()
                ? "the layer is active in every OpenXR process that does not have " + disable +
                      " set (disable_environment)"
                : "the layer is active only in processes that have " + enable +
                      " set (enable_environment) and not " + disable + " (disable_environment)";
        message += active ? "; here it would be active" : "; here it would not be active (";
        if (!active) {
            message += (!enabled ? enable + " is not set" : disable + " is set") + ")";
        }
        CheckLine& line = report.Add(kSection, "activation", Verdict::kInfo, message);
        if (ours.size() > 1) {
            line.details = {"manifest " + findings.path};
        }
        activations.push_back(
            {{"manifest", findings.path},
             {"enable_environment", enable.empty() ? JsonValue() : JsonValue(enable)},
             {"disable_environment", disable},
             {"active_here", active}});
    }
    report.Facts(kSection)["activation"] = std::move(activations);
}

}  // namespace

void CheckRegistration(Report& report) {
    const ManifestSearch search = SearchLayerManifests();
    JsonValue& facts = report.Facts(kSection);
    facts["places"] = search.places;
    facts["explicit_overridden_by_XR_API_LAYER_PATH"] = search.explicitOverridden;

    CheckLine& searchLine = report.Add(
        kSection, "search", Verdict::kInfo,
        "the loader looks in " + std::to_string(search.places.size()) + " places" +
            (search.explicitOverridden ? " (XR_API_LAYER_PATH replaces the explicit ones)" : ""));
    searchLine.details = search.places;

    JsonValue manifestFacts = JsonValue::array();
    std::vector<ManifestFindings> ours;
    int usableImplicit = 0;
    int usableExplicit = 0;
    for (const ManifestCandidate& candidate : search.candidates) {
        ManifestFindings findings = ReadManifest(candidate);
        if (!IsOurManifest(candidate, findings)) {
            continue;
        }
        JsonValue manifest = JsonValue::object();
        if (CheckManifest(candidate, findings, report, manifest)) {
            ++(candidate.implicit ? usableImplicit : usableExplicit);
        }
        manifestFacts.push_back(std::move(manifest));
        ours.push_back(std::move(findings));
    }
    facts["manifests"] = std::move(manifestFacts);

    const int usable = usableImplicit + usableExplicit;
    if (ours.empty()) {
        report.Add(kSection, "registered", Verdict::kFail,
                   std::string("no manifest of ") + kLayerName + " in any of these places",
                   kInstallAdvice);
    } else if (usable == 0) {
        // Each unusable manifest has failed above with its own cause.
        report.Add(kSection, "registered", Verdict::kInfo,
                   "none of the layer's manifests is usable (see above)");
    } else if (usableImplicit == 0 && !ListsOurLayer(std::getenv("XR_ENABLE_API_LAYERS"))) {
        report.Add(kSection, "registered", Verdict::kWarn,
                   "registered as an explicit layer only: applications must ask for it",
                   std::string("set XR_ENABLE_API_LAYERS=") + kLayerName +
                       ", or register it as an implicit layer: " + kImplicitInstall);
    } else if (usable > 1) {
        report.Add(kSection, "registered", Verdict::kWarn,
                   "registered " + std::to_string(usable) +
                       " times: the loader uses one of them, which may be an older build",
                   "remove all but one of the manifests above");
    }
    CheckEnvironment(ours, report);
    ReportActivation(ours, report);
}
