#pragma once

#include <cstddef>
#include <string>

// Where every log line of the layer goes: the process's standard output, in one write per call,
// and the log file. A failing standard output is ignored, even one set to throw.
void WriteLogOutput(const char* data, size_t size) noexcept;

// Text for the log file alone, such as the settings it starts with.
void WriteLogFileOnly(const std::string& text) noexcept;

// A line of fixed text, newline included: no formatting needed.
template <size_t N>
void LogText(const char (&text)[N]) noexcept {
    WriteLogOutput(text, N - 1);
}
