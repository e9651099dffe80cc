#include "log/LogOutput.h"

#include <iostream>

#include "log/LogFileWriter.h"

void WriteLogOutput(const char* data, size_t size) noexcept {
    try {
        std::cout.write(data, static_cast<std::streamsize>(size));
    } catch (...) {
        // The application may have asked std::cout to throw when it fails: a log line must not
        // end it. The stream keeps its error state for the application to see.
    }
    LogFileWriter::Instance().Push(data, size);
}

void WriteLogFileOnly(const std::string& text) noexcept {
    try {
        LogFileWriter::Instance().AppendHead(text);
    } catch (...) {
        // Without memory for the head the file goes without these lines.
    }
}

void WriteLogFileLine(const char* data, size_t size) noexcept {
    LogFileWriter::Instance().Push(data, size);
}
