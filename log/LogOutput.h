#pragma once

#include <cstddef>
#include <string>

// Where every log line of the layer goes: the process's standard output, in one write per call,
// and the log file. A failing standard output is ignored, even one set to throw.
void WriteLogOutput(const char* data, size_t size) noexcept;

// The same, with a note in parentheses before the text's last line end in the file's copy only.
void WriteLogOutputWithFileNote(const char* data, size_t size, const char* note) noexcept;

// Lines for the log file alone that record the set-up - the configuration file, the settings
// and options as read - and so belong to its head, repeated at the top of every file.
void WriteLogFileOnly(const std::string& text) noexcept;

// A line for the log file alone, in its place among the others: an explanation that standard
// output never had.
void WriteLogFileLine(const char* data, size_t size) noexcept;

// A line of fixed text, newline included: no formatting needed.
template <size_t N>
void LogText(const char (&text)[N]) noexcept {
    WriteLogOutput(text, N - 1);
}
