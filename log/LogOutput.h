#pragma once

#include <cstddef>

// Where every log line of the layer goes: the process's standard output, in one write per call.
void WriteLogOutput(const char* data, size_t size) noexcept;

// A line of fixed text, newline included: no formatting needed.
template <size_t N>
void LogText(const char (&text)[N]) noexcept {
    WriteLogOutput(text, N - 1);
}
