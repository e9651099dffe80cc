#pragma once

#include <cstdint>

// Reads the next line into buffer: at most size - 1 bytes, the line feed included when it fits,
// then a terminating zero. Returns buffer, or null at the end of the input (the fgets contract).
using IniLineReader = char* (*)(char* buffer, int32_t size, void* stream);

// Receives one name/value pair of the given section. Nonzero accepts the pair, zero marks its
// line as an error. The strings live only during the call.
using IniValueHandler = int32_t (*)(void* user, const char* section, const char* name,
                                    const char* value);

// Result of parseIni when the line buffer could not be allocated or grown.
inline constexpr int32_t kIniOutOfMemory = -2;

// Parses INI text line by line and hands each pair to handler in file order. Returns 0 when every
// line was accepted, the number of the first line in error, or kIniOutOfMemory. Exceptions thrown
// by handler pass through unchanged.
int32_t parseIni(IniLineReader reader, void* stream, IniValueHandler handler, void* user);
