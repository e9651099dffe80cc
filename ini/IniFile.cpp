#include "ini/IniFile.h"

#include <cstdio>
#include <locale>
#include <memory>
#include <sstream>

#include "ini/IniParser.h"

namespace {

constexpr int32_t kFileNotReadable = -1;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

char* readFileLine(char* buffer, int32_t size, void* stream) {
    return std::fgets(buffer, static_cast<int>(size), static_cast<std::FILE*>(stream));
}

}  // namespace

IniFile::IniFile(const std::string& path) : status(0) {
    {
        const File file(std::fopen(path.c_str(), "r"));
        if (!file) {
            status = kFileNotReadable;
            throw std::runtime_error("ini file not found.");
        }
        status = parseIni(readFileLine, file.get(), storeValue, this);
        // A read error looks like the end of the file to the parser; a file that cannot be read
        // through (a directory, an I/O error) must not pass for a complete, shorter one.
        if (status >= 0 && std::ferror(file.get()) != 0) {
            status = kFileNotReadable;
        }
    }
    switch (status) {
        case 0:
            return;
        case kIniOutOfMemory:
            throw std::runtime_error("memory alloc error");
        case kFileNotReadable:
            throw std::runtime_error("ini file not found.");
        default:
            throw std::runtime_error("parse error on line no: " + std::to_string(status));
    }
}

std::unordered_map<std::string, std::string> IniFile::getSection(const std::string& section) const {
    const auto found = sections.find(section);
    if (found == sections.end()) {
        throw std::runtime_error("section '" + section + "' not found.");
    }
    return found->second;
}

int32_t IniFile::storeValue(void* user, const char* section, const char* name, const char* value) {
    auto& stored = static_cast<IniFile*>(user)->sections[section][name];
    // An earlier empty value may be overwritten; only a real earlier value makes a duplicate.
    if (!stored.empty()) {
        throw std::runtime_error("duplicate key '" + std::string(name) + "' in section '" +
                                 section + "'.");
    }
    stored = value;
    return 1;
}

template <IniNumber T>
T IniFile::parseNumber(const std::string& text) {
    try {
        std::istringstream stream(text);
        // Configuration files use the decimal point whatever locale the host application chose.
        stream.imbue(std::locale::classic());
        stream.exceptions(std::ios::failbit);
        T number{};
        stream >> number;
        return number;
    } catch (const std::exception&) {
        throw std::runtime_error("cannot parse value '" + text + "' to type<T>.");
    }
}

template int32_t IniFile::parseNumber<int32_t>(const std::string& text);
template float IniFile::parseNumber<float>(const std::string& text);

bool IniFile::parseBool(std::string text) {
    static const std::unordered_map<std::string, bool> boolWords{
        {"1", true},  {"true", true},   {"yes", true}, {"on", true},
        {"0", false}, {"false", false}, {"no", false}, {"off", false}};
    // ASCII only: the host's locale must not change what counts as a boolean word.
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const auto found = boolWords.find(text);
    if (found == boolWords.end()) {
        throw std::runtime_error("'" + text + "' is not a valid boolean value.");
    }
    return found->second;
}
