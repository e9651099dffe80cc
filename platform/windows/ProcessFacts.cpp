#include <windows.h>

#include <ctime>

#include "platform/Platform.h"

namespace platform {

unsigned long ProcessId() {
    return static_cast<unsigned long>(GetCurrentProcessId());
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = "";
    if (localtime_s(&local, &now) == 0) {
        std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    }
    return text;
}

}  // namespace platform
