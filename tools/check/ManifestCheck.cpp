#include "tools/check/ManifestCheck.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tools/check/RegistrationCheck.h"

namespace {

bool HasString(const JsonValue* object, const char* name) {
    if (object == nullptr || !object->is_object()) {
        return false;
    }
    const auto member = object->find(name);
    return member != object->end() && member->is_string();
}

std::string StringMember(const JsonValue* object, const char* name) {
    return HasString(object, name) ? object->at(name).get<std::string>() : std::string();
}

// nlohmann's message without its exception tag: "line L, column C: what".
std::string ParseErrorText(const nlohmann::json::parse_error& error) {
    const std::string message = error.what();
    const std::string marker = "parse error at ";
    const size_t at = message.find(marker);
    return at == std::string::npos ? message : message.substr(at + marker.size());
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

ManifestFindings ReadManifest(const ManifestCandidate& candidate) {
    ManifestFindings findings;
    findings.path = candidate.path;
    findings.implicit = candidate.implicit;
    std::ifstream file(std::filesystem::path(candidate.path), std::ios::binary);
    if (!file) {
        findings.problem = "cannot be opened";
        return findings;
    }
    findings.readable = true;
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    try {
        findings.document = JsonValue::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        findings.parseError = ParseErrorText(error);
        findings.problem = "is not valid JSON (" + findings.parseError + ")";
        return findings;
    }
    const JsonValue* document = &*findings.document;
    const JsonValue* layer = document->is_object() && document->contains("api_layer")
                                 ? &document->at("api_layer")
                                 : nullptr;
    findings.layerName = StringMember(layer, "name");
    findings.libraryPath = StringMember(layer, "library_path");
    findings.disableEnvironment = StringMember(layer, "disable_environment");
    findings.enableEnvironment = StringMember(layer, "enable_environment");

    // The fields without which the loader skips the manifest, in the order it looks at them.
    const std::string fileFormat = StringMember(document, "file_format_version");
    const std::string apiVersion = StringMember(layer, "api_version");
    if (!HasString(document, "file_format_version")) {
        findings.problem = "has no \"file_format_version\"";
    } else if (!LoaderAcceptsFileFormatVersion(fileFormat)) {
        findings.problem = "has \"file_format_version\" " + Quoted(fileFormat) +
                           ", which the OpenXR loader does not read (it reads 1.0.0 only)";
    } else if (layer == nullptr || !layer->is_object()) {
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
    } else if (!LoaderAcceptsApiVersion(apiVersion)) {
        findings.problem = "has \"api_layer.api_version\" " + Quoted(apiVersion) +
                           ", which the OpenXR loader refuses (it takes major version 1)";
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

bool LoaderAcceptsFileFormatVersion(const std::string& text) {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned patch = 0;
    const int fields = std::sscanf(text.c_str(), "%u.%u.%u", &major, &minor, &patch);
    return fields == 3 && major == 1 && minor == 0 && patch == 0;
}

bool LoaderAcceptsApiVersion(const std::string& text) {
    unsigned major = 0;
    unsigned minor = 0;
    const int fields = std::sscanf(text.c_str(), "%u.%u", &major, &minor);
    return fields == 2 && !(major == 0 && minor == 0) && major <= 1;
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
