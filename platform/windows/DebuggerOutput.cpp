#include <windows.h>

#include "platform/Platform.h"

namespace platform {

void WriteDebuggerOutput(const char* text) {
    OutputDebugStringA(text);
}

}  // namespace platform
