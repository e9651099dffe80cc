#pragma once

// One manifest file as the loader would read it: its fields, its library, the library's probe.

#include <optional>
#include <string>

#include "tools/check/ManifestSearch.h"
#include "tools/check/Report.h"

struct ManifestFindings {
    std::string path;
    bool implicit = false;
    bool readable = false;
    std::optional<JsonValue> document;
    std::string parseError;  // the reader's message when it did not parse
    std::string layerName;
    std::string libraryPath;      // as written
    std::string resolvedLibrary;  // full path, or the bare name the system resolves
    bool libraryIsBareName = false;
    std::string disableEnvironment;
    std::string enableEnvironment;
    std::string problem;  // the first thing that makes the loader refuse the manifest
};

// The version fields as the OpenXR loader 1.0.20 reads them: "major.minor.patch" with sscanf's
// "%u", so leading blanks, a sign and trailing text pass unnoticed; only 1.0.0 is accepted.
bool LoaderAcceptsFileFormatVersion(const std::string& text);
// "major.minor" likewise; the loader refuses 0.0 and any major version above its own, 1.
bool LoaderAcceptsApiVersion(const std::string& text);

// Reads and parses the manifest and resolves library_path relative to the manifest's folder.
ManifestFindings ReadManifest(const ManifestCandidate& candidate);

// Whether a candidate belongs to this layer: it names the layer, or its file name says it is
// ours (so that a broken or misnamed copy is reported rather than passed over).
bool IsOurManifest(const ManifestCandidate& candidate, const ManifestFindings& findings);
