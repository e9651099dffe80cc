#include "log/LogFolders.h"

#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

std::vector<std::string> LogFolderCandidates(const std::string& configFolder) {
    std::vector<std::string> folders;
    if (!configFolder.empty()) {
        folders.push_back(configFolder);
    }
    if (std::string state = platform::UserStateFolder(); !state.empty()) {
        folders.push_back(std::move(state));
    }
    return folders;
}

std::string ExpectedLogFolder(const std::string& configFolder) {
    const std::vector<std::string> folders = LogFolderCandidates(configFolder);
    const std::string state = platform::UserStateFolder();
    for (const std::string& folder : folders) {
        std::error_code error;
        if (platform::CanWriteFolder(folder) ||
            (folder == state && !std::filesystem::exists(folder, error))) {
            return folder;
        }
    }
    return {};
}
