#include "tools/check/ManifestCheck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tools/check/RegistrationCheck.h"

namespace {

std::string StringMember(const JsonValue* object, const char* name) {
    const JsonValue* member = object != nullptr ? object->Find(name) : nullptr;
    const std::string* text = member != nullptr ? member->AsString() : nullptr;
    return text != nullptr ? *text : std::string();
}

bool HasString(const JsonValue* object, const char* name) {
    const JsonValue* member = object != nullptr ? object->Find(name) : nullptr;
    return member != nullptr && member->AsString() != nullptr;
}

}  // namespace

ManifestFindings ReadManifest(const ManifestCandidate& candidate) {
    ManifestFindings findings;
    std::ifstream file(std::filesystem::path(candidate.path), std::ios::binary);
    if (!file) {
        findings.problem = "cannot be opened";
        return findings;
    }
    findings.readable = true;
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    JsonParseResult parsed = ParseJson(text);
    if (!parsed.value) {
        findings.parseError = parsed.error;
        findings.problem = "is not valid JSON (" + parsed.error + ")";
        return findings;
    }
    findings.document = std::move(parsed.value);
    const JsonValue* layer = findings.document->Find("api_layer");
    findings.layerName = StringMember(layer, "name");
    findings.libraryPath = StringMember(layer, "library_path");
    findings.disableEnvironment = StringMember(layer, "disable_environment");
    findings.enableEnvironment = StringMember(layer, "enable_environment");

    // The fields without which the loader skips the manifest.
    if (!HasString(&*findings.document, "file_format_version")) {
        findings.problem = "has no \"file_format_version\"";
    } else if (layer == nullptr || layer->AsObject() == nullptr) {
        findings.problem = "has no \"api_layer\" object";
    } else if (!HasString(layer, "name")) {
        findings.problem = "has no \"api_layer.name\"";
    } else if (findings.layerName != kLayerName) {
        findings.problem =
            "names the layer \"" + findings.layerName + "\" instead of \"" + kLayerName + "\"";
    } else if (!HasString(layer, "library_path") || findings.libraryPath.empty()) {
        findings.problem = "has no \"api_layer.library_path\"";
    } else if (!HasString(layer, "api_version")) {
        findings.problem = "has no \"api_layer.api_version\"";
    } else if (!HasString(layer, "implementation_version")) {
        findings.problem = "has no \"api_layer.implementation_version\"";
    } else if (candidate.implicit && findings.disableEnvironment.empty()) {
        findings.problem = "is implicit but has no \"api_layer.disable_environment\"";
    }

    if (!findings.libraryPath.empty()) {
        const std::filesystem::path library(findings.libraryPath);
        const bool hasFolder = findings.libraryPath.find('/') != std::string::npos ||
                               findings.libraryPath.find('\\') != std::string::npos;
        // A path rooted without a drive ("\\lib\\x.dll") counts from the current drive, as the
        // system resolves it; only a path without root counts from the manifest's folder.
        if (library.is_absolute() || library.has_root_directory()) {
            findings.resolvedLibrary = library.lexically_normal().string();
        } else if (hasFolder) {
            const std::filesystem::path folder =
                std::filesystem::path(candidate.path).parent_path();
            findings.resolvedLibrary = (folder / library).lexically_normal().string();
        } else {
            // A bare file name goes to the system's own library search.
            findings.libraryIsBareName = true;
            findings.resolvedLibrary = findings.libraryPath;
        }
    }
    return findings;
}

bool IsOurManifest(const ManifestCandidate& candidate, const ManifestFindings& findings) {
    if (findings.layerName == kLayerName) {
        return true;
    }
    std::string fileName = std::filesystem::path(candidate.path).filename().string();
    std::transform(fileName.begin(), fileName.end(), fileName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return fileName.find("tarvex") != std::string::npos;
}
