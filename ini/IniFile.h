#pragma once

#include <concepts>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>

// The types a value can be read as; asking for any other does not compile.
template <typename T>
concept IniNumber = std::same_as<T, int32_t> || std::same_as<T, float>;
template <typename T>
concept IniValue = IniNumber<T> || std::same_as<T, std::string> || std::same_as<T, bool>;

// An INI file read completely on construction, then read-only. Every failure, from a missing file
// to a value of the wrong form, is thrown as std::runtime_error whose message is the whole report.
class IniFile {
public:
    explicit IniFile(const std::string& path);

    template <IniValue T>
    T get(const std::string& section, const std::string& key) const {
        const auto values = getSection(section);
        const auto found = values.find(key);
        if (found == values.end()) {
            throw std::runtime_error("key '" + key + "' not found in section '" + section + "'.");
        }
        if constexpr (std::is_same_v<T, std::string>) {
            return found->second;
        } else if constexpr (std::is_same_v<T, bool>) {
            return parseBool(found->second);
        } else {
            return parseNumber<T>(found->second);
        }
    }

    std::unordered_map<std::string, std::string> getSection(const std::string& section) const;

    // The parser's handler while the file is read; user is the document being built.
    static int32_t storeValue(void* user, const char* section, const char* name, const char* value);

    template <IniNumber T>
    static T parseNumber(const std::string& text);

    static bool parseBool(std::string text);

private:
    int32_t status;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> sections;
};
