#pragma once

// Pieces of the manifest search that both platforms share.

#include <string>
#include <vector>

#include "tools/check/ManifestSearch.h"

// The non-empty entries of a path list such as XR_API_LAYER_PATH.
std::vector<std::string> SplitPathList(const std::string& text, char separator);

// Adds the JSON files of a folder, sorted since directory order is arbitrary, or the entry itself
// when it names a file. A missing folder adds nothing.
void AddManifestEntry(const std::string& entry, bool implicit, ManifestSearch& search);
