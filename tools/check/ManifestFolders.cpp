#include "tools/check/ManifestFolders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

std::vector<std::string> SplitPathList(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t found = text.find(separator, start);
        const size_t end = found == std::string::npos ? text.size() : found;
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        if (found == std::string::npos) {
            break;
        }
        start = found + 1;
    }
    return parts;
}

void AddManifestEntry(const std::string& entry, bool implicit, ManifestSearch& search) {
    std::error_code error;
    const std::filesystem::path path(entry);
    if (std::filesystem::is_regular_file(path, error)) {
        search.candidates.push_back({entry, implicit, entry, std::nullopt});
        return;
    }
    std::vector<std::string> files;
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (it->path().extension() == ".json" && !it->is_directory(typeError)) {
            files.push_back(it->path().string());
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        search.candidates.push_back({file, implicit, entry, std::nullopt});
    }
}
