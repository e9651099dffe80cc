#include <dlfcn.h>

#include "tools/check/LibraryProbe.h"

LibraryProbe ProbeLayerLibrary(const std::string& path) {
    LibraryProbe probe;
    // RTLD_NOW: a missing dependency or symbol shows now rather than inside an application.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        probe.error = reason != nullptr ? reason : "unknown reason";
        return probe;
    }
    probe.loaded = true;
    probe.exportsNegotiation = dlsym(library, kNegotiationEntry) != nullptr;
    dlclose(library);
    return probe;
}
