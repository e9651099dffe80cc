#include <windows.h>

#include "platform/Platform.h"

BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        platform::OnModuleLoaded();
    }
    return TRUE;
}
