#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

// An IniLineReader over text held in memory, for callers that do not read from a file.
struct IniTextStream {
    std::string_view text;
    size_t position = 0;
};

inline char* readIniTextLine(char* buffer, int32_t size, void* stream) {
    auto& source = *static_cast<IniTextStream*>(stream);
    if (size <= 0 || source.position >= source.text.size()) {
        return nullptr;
    }
    const std::string_view rest = source.text.substr(source.position);
    const size_t lineFeed = rest.find('\n');
    const size_t lineLength = lineFeed == std::string_view::npos ? rest.size() : lineFeed + 1;
    const size_t room = static_cast<size_t>(size) - 1;
    const size_t count = lineLength < room ? lineLength : room;
    std::memcpy(buffer, rest.data(), count);
    buffer[count] = '\0';
    source.position += count;
    return buffer;
}
