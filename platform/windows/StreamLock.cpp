#include <stdio.h>

#include "platform/Platform.h"

namespace platform {

void LockStream(std::FILE* stream) {
    _lock_file(stream);
}

void UnlockStream(std::FILE* stream) {
    _unlock_file(stream);
}

}  // namespace platform
