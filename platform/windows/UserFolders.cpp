#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace platform {

std::string UserStateFolder() {
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || local[0] == '\0') {
        return {};
    }
    return std::string(local) + "\\TarvexOpenXR";
}

bool MakePrivateFolder(const std::string& path) {
    // The folders under LOCALAPPDATA inherit its access list, which admits this user only.
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

bool CanWriteFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace platform
