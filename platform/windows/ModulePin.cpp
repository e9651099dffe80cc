#include <windows.h>

#include "platform/Platform.h"

namespace platform {

bool PinOwnModule() {
    HMODULE module = nullptr;
    return GetModuleHandleExW(
               GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
               reinterpret_cast<LPCWSTR>(&PinOwnModule), &module) != 0;
}

}  // namespace platform
