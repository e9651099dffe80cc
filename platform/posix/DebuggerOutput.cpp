#include <cstdio>

#include "platform/Platform.h"

namespace platform {

// Linux has no debugger channel; standard error is where a developer looks instead.
void WriteDebuggerOutput(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

}  // namespace platform
