#include <cstdlib>

#include "platform/Platform.h"

namespace platform {

bool SetEnvironmentValue(const char* name, const char* value) {
    // _putenv_s updates the C run-time's copy, which getenv reads, and the process's own
    // environment, which child processes inherit.
    return _putenv_s(name, value) == 0;
}

}  // namespace platform
