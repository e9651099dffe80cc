#include "log/LogOutput.h"

#include <cstdio>
#include <iostream>

#include "log/LogFileWriter.h"

namespace {

void WriteStandardOutput(const char* data, size_t size) noexcept {
    try {
        std::cout.write(data, static_cast<std::streamsize>(size));
    } catch (...) {
        // The application may have asked std::cout to throw when it fails: a log line must not
        // end it. The stream keeps its error state for the application to see.
    }
}

}  // namespace

void WriteLogOutput(const char* data, size_t size) noexcept {
    WriteStandardOutput(data, size);
    LogFileWriter::Instance().Push(data, size);
}

void WriteLogOutputWithFileNote(const char* data, size_t size, const char* note) noexcept {
    WriteStandardOutput(data, size);
    // Lines with notes are rare (failures): a bounded copy on the stack.
    char line[1024];
    const char* end = data + size;
    while (end > data && end[-1] != '\n') {
        --end;
    }
    const size_t head = end > data ? static_cast<size_t>(end - 1 - data) : size;
    const int written = std::snprintf(line, sizeof(line), "%.*s (%s)%.*s", static_cast<int>(head),
                                      data, note, static_cast<int>(size - head), data + head);
    if (written > 0 && static_cast<size_t>(written) < sizeof(line)) {
        LogFileWriter::Instance().Push(line, static_cast<size_t>(written));
    } else {
        LogFileWriter::Instance().Push(data, size);
    }
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
