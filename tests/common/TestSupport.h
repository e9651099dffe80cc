#pragma once

// Helpers that several suites share: the process environment, temporary directories and
// configuration files.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <system_error>

// Sets or, with null, removes an environment variable of this process.
inline void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value == nullptr ? "" : value);
#else
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
#endif
}

// Sets, or with nullopt removes, an environment variable for the life of the object.
class ScopedVariable {
public:
    ScopedVariable(std::string name, const std::optional<std::string>& value)
        : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedVariable() { Set(old_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
        SetVariable(name_.c_str(), value ? value->c_str() : nullptr);
    }

    std::string name_;
    std::optional<std::string> old_;
};

// A new empty directory under the system's temporary directory.
inline std::filesystem::path MakeTemporaryDirectory() {
    std::random_device random;
    for (;;) {
        const auto path = std::filesystem::temp_directory_path() /
                          ("tarvex_test_" + std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(path)) {
            return path;
        }
    }
}

// Removes a temporary directory as far as it can. A test process that started the tracker has the
// layer's log file open in its configuration directory for the rest of the process, and Windows
// keeps an open file's directory: what cannot go is left to the system's temporary-file cleanup.
inline void RemoveTemporaryDirectory(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

// Settings that make a valid configuration file; tests replace or drop single keys.
struct SettingsFile {
    std::map<std::string, std::string> values{
        {"connectiontype", "1"},
        {"localaddress", "127.0.0.1"},
        {"serveraddress", "127.0.0.2"},
        {"hmdrbid", "7"},
        {"ipd", "63.5"},
        {"overrider", "true"},
        {"controllerrrbid", "11"},
        {"overridel", "no"},
        {"controllerlrbid", "12"},
    };
    std::string section = "SETTINGS";

    std::string Text() const {
        std::string text = "[" + section + "]\n";
        for (const auto& [key, value] : values) {
            text += key + " = " + value + "\n";
        }
        return text;
    }

    // Writes TarvexOpenXRConfig.ini into the directory.
    void WriteTo(const std::filesystem::path& directory) const {
        std::ofstream(directory / "TarvexOpenXRConfig.ini", std::ios::binary) << Text();
    }
};
