#include "ini/IniParser.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int32_t kInitialLineSize = 200;
// A physical line longer than this, line feed included, is read as several lines.
constexpr int32_t kMaxLineSize = 2000;
constexpr size_t kMaxSectionLength = 49;

struct FreeDeleter {
    void operator()(char* memory) const { std::free(memory); }
};
using LineBuffer = std::unique_ptr<char, FreeDeleter>;

// The white-space set of the classic "C" locale, whatever locale the host process has set.
bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char* skipWhite(char* text) {
    while (*text != '\0' && isWhite(*text)) {
        ++text;
    }
    return text;
}

// Cuts trailing white space from the text between begin and its terminating zero at end.
char* cutTrailingWhite(char* begin, char* end) {
    while (end > begin && isWhite(end[-1])) {
        --end;
    }
    *end = '\0';
    return begin;
}

// Finds the first of the given bytes, or the ';' that opens an inline comment, or the end of the
// text. A ';' opens a comment only right after white space inside the scanned part.
char* findStopOrComment(char* text, const char* stops) {
    bool afterWhite = false;
    while (*text != '\0' && std::strchr(stops, *text) == nullptr && !(afterWhite && *text == ';')) {
        afterWhite = isWhite(*text);
        ++text;
    }
    return text;
}

bool startsWithByteOrderMark(const char* line) {
    return std::strncmp(line, "\xEF\xBB\xBF", 3) == 0;
}

// Reads one line into the buffer, growing it while a line does not fit, up to kMaxLineSize.
// Returns false at the end of the input; sets outOfMemory when growing failed.
bool readLine(IniLineReader reader, void* stream, LineBuffer& buffer, int32_t& size,
              bool& outOfMemory) {
    if (reader(buffer.get(), size, stream) == nullptr) {
        return false;
    }
    auto length = static_cast<int32_t>(std::strlen(buffer.get()));
    while (size < kMaxLineSize && length == size - 1 && buffer.get()[length - 1] != '\n') {
        const int32_t grownSize = size * 2 < kMaxLineSize ? size * 2 : kMaxLineSize;
        auto* grown =
            static_cast<char*>(std::realloc(buffer.get(), static_cast<size_t>(grownSize)));
        if (grown == nullptr) {
            outOfMemory = true;
            return false;
        }
        static_cast<void>(buffer.release());
        buffer.reset(grown);
        size = grownSize;
        char* tail = buffer.get() + length;
        if (reader(tail, size - length, stream) == nullptr) {
            // The line ended with the input; a failed read may leave the tail undefined.
            *tail = '\0';
            break;
        }
        length += static_cast<int32_t>(std::strlen(tail));
    }
    return true;
}

}  // namespace

int32_t parseIni(IniLineReader reader, void* stream, IniValueHandler handler, void* user) {
    int32_t size = kInitialLineSize;
    LineBuffer buffer(static_cast<char*>(std::malloc(static_cast<size_t>(size))));
    if (!buffer) {
        return kIniOutOfMemory;
    }
    char section[kMaxSectionLength + 1] = "";
    int32_t lineNumber = 0;
    bool outOfMemory = false;

    while (readLine(reader, stream, buffer, size, outOfMemory)) {
        ++lineNumber;
        char* line = buffer.get();
        if (lineNumber == 1 && startsWithByteOrderMark(line)) {
            line += 3;
        }
        line = skipWhite(cutTrailingWhite(line, line + std::strlen(line)));
        if (*line == '\0' || *line == ';' || *line == '#') {
            continue;
        }

        if (*line == '[') {
            char* end = findStopOrComment(line + 1, "]");
            if (*end != ']') {
                return lineNumber;
            }
            *end = '\0';
            std::strncpy(section, line + 1, kMaxSectionLength);
            section[kMaxSectionLength] = '\0';
            continue;
        }

        char* separator = findStopOrComment(line, "=:");
        if (*separator != '=' && *separator != ':') {
            return lineNumber;
        }
        *separator = '\0';
        const char* name = cutTrailingWhite(line, separator);
        char* value = separator + 1;
        char* valueEnd = findStopOrComment(value, "");
        *valueEnd = '\0';
        value = skipWhite(value);
        cutTrailingWhite(value, value + std::strlen(value));
        if (handler(user, section, name, value) == 0) {
            return lineNumber;
        }
    }
    return outOfMemory ? kIniOutOfMemory : 0;
}
