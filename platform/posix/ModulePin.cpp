#include <dlfcn.h>

#include "platform/Platform.h"

namespace platform {

bool PinOwnModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PinOwnModule), &info) == 0 || info.dli_fname == nullptr) {
        return false;
    }
    // NOLOAD finds the copy already mapped; NODELETE makes every later dlclose leave it mapped.
    // glibc rejects those two flags unless a binding mode is given as well.
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

}  // namespace platform
