#include "platform/Platform.h"

namespace {

// Runs when the shared library is mapped into a process, like DllMain's process attach.
__attribute__((constructor)) void ModuleAttached() {
    platform::OnModuleLoaded();
}

}  // namespace
