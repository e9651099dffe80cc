#include <unistd.h>

#include <ctime>

#include "platform/Platform.h"

namespace platform {

unsigned long ProcessId() {
    return static_cast<unsigned long>(getpid());
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    }
    return text;
}

}  // namespace platform
