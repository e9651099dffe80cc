#include <stdio.h>

#include "platform/Platform.h"

namespace platform {

void LockStream(std::FILE* stream) {
    flockfile(stream);
}

void UnlockStream(std::FILE* stream) {
    funlockfile(stream);
}

}  // namespace platform
