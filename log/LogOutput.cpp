#include "log/LogOutput.h"

#include <iostream>

void WriteLogOutput(const char* data, size_t size) noexcept {
    std::cout.write(data, static_cast<std::streamsize>(size));
}
