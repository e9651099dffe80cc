#include "platform/Platform.h"

void platform::OnModuleLoaded() {
    platform::WriteDebuggerOutput(
        "OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library "
        "initialized.\n");
}
