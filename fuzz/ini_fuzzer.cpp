// Feeds arbitrary bytes to the INI parser and, through a file, to IniFile, and checks that the
// document agrees with what the parser handed over.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ini/IniFile.h"
#include "ini/IniParser.h"
#include "ini/IniTextReader.h"

namespace {

// The document as the parser's pairs should build it, with the duplicate rule applied.
struct ExpectedDocument {
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::string duplicateMessage;
};

int32_t storeExpected(void* user, const char* section, const char* name, const char* value) {
    if (std::strlen(section) > 49) {
        std::abort();
    }
    auto& expected = *static_cast<ExpectedDocument*>(user);
    std::string& stored = expected.sections[section][name];
    if (!stored.empty()) {
        expected.duplicateMessage =
            "duplicate key '" + std::string(name) + "' in section '" + section + "'.";
        return 0;
    }
    stored = value;
    return 1;
}

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Every input passes through a file; a memory-backed directory keeps that cheap where there is one.
const std::string& scratchPath() {
    static const std::string path =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/tarvex_ini_fuzz_" +
        std::to_string(getpid()) + ".ini";
    return path;
}

void writeScratchFile(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    require(file != nullptr);
    require(std::fwrite(data, 1, size, file) == size);
    require(std::fclose(file) == 0);
}

template <IniValue T>
void lookUpIgnoringFailures(const IniFile& document, const std::string& section,
                            const std::string& key) {
    try {
        static_cast<void>(document.get<T>(section, key));
    } catch (const std::runtime_error&) {
        // Values of the wrong form are expected; only crashes and sanitizer reports matter.
    }
}

void checkDocument(const ExpectedDocument& expected, int32_t parseResult) {
    std::string expectedMessage;
    if (!expected.duplicateMessage.empty()) {
        expectedMessage = expected.duplicateMessage;
    } else if (parseResult != 0) {
        expectedMessage = "parse error on line no: " + std::to_string(parseResult);
    }
    try {
        const IniFile document(scratchPath());
        require(expectedMessage.empty());
        for (const auto& [section, values] : expected.sections) {
            require(document.getSection(section).size() == values.size());
            for (const auto& [key, value] : values) {
                require(document.get<std::string>(section, key) == value);
                lookUpIgnoringFailures<int32_t>(document, section, key);
                lookUpIgnoringFailures<float>(document, section, key);
                lookUpIgnoringFailures<bool>(document, section, key);
            }
        }
    } catch (const std::runtime_error& error) {
        require(error.what() == expectedMessage);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniTextStream stream{text};
    ExpectedDocument expected;
    const int32_t result = parseIni(readIniTextLine, &stream, storeExpected, &expected);
    require(result >= 0);

    writeScratchFile(data, size);
    checkDocument(expected, result);
    std::remove(scratchPath().c_str());
    return 0;
}
