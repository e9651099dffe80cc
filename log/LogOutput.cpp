#include "log/LogOutput.h"

#include <iostream>

#include "log/LogFileWriter.h"

void WriteLogOutput(const char* data, size_t size) noexcept {
    std::cout.write(data, static_cast<std::streamsize>(size));
    LogFileWriter::Instance().Queue().Push(data, size);
}

void WriteLogFileOnly(const std::string& text) noexcept {
    LogFileWriter::Instance().Queue().Push(text.data(), text.size());
}
