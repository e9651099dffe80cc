#include <windows.h>

#include <string>

#include "tools/check/LibraryProbe.h"

namespace {

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = "error " + std::to_string(code);
    if (length > 0 && text != nullptr) {
        std::string described(text, length);
        while (!described.empty() && (described.back() == '\n' || described.back() == '\r')) {
            described.pop_back();
        }
        message += ": " + described;
    }
    LocalFree(text);
    return message;
}

}  // namespace

LibraryProbe ProbeLayerLibrary(const std::string& path) {
    LibraryProbe probe;
    // The altered search path lets the library's own folder satisfy its dependencies, as it does
    // when the loader opens a layer by its full path.
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        probe.error = SystemMessage(GetLastError());
        return probe;
    }
    probe.loaded = true;
    probe.exportsNegotiation = GetProcAddress(library, kNegotiationEntry) != nullptr;
    FreeLibrary(library);
    return probe;
}
