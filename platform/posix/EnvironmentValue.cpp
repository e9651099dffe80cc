#include <cstdlib>

#include "platform/Platform.h"

namespace platform {

bool SetEnvironmentValue(const char* name, const char* value) {
    return setenv(name, value, 1) == 0;
}

}  // namespace platform
