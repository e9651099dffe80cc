#pragma once

// Environment, temporary folders and report look-ups for the check tool's tests.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "tools/check/Report.h"

// A new empty folder under the system's temporary folder, removed with the object.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::random_device random;
        for (;;) {
            path_ = std::filesystem::temp_directory_path() /
                    ("tarvex_check_test_" + std::to_string(random()) + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) {
                break;
            }
        }
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The lines of one check, in report order.
inline std::vector<CheckLine> LinesOf(const Report& report, const std::string& check) {
    std::vector<CheckLine> found;
    for (const CheckLine& line : report.Lines()) {
        if (line.check == check) {
            found.push_back(line);
        }
    }
    return found;
}

// The one line of a check; fails the test when there is not exactly one.
inline CheckLine OnlyLineOf(const Report& report, const std::string& check) {
    const std::vector<CheckLine> found = LinesOf(report, check);
    EXPECT_EQ(found.size(), 1u) << "lines of check '" << check << "':\n" << report.Text();
    return found.empty() ? CheckLine{} : found.front();
}

// Nine valid settings, with one key replaced or left out.
inline std::string SettingsText(const std::string& key = {},
                                const std::optional<std::string>& value = {}) {
    const std::vector<std::pair<std::string, std::string>> settings = {
        {"connectiontype", "0"},
        {"localaddress", "127.0.0.1"},
        {"serveraddress", "127.0.0.1"},
        {"hmdrbid", "1"},
        {"ipd", "63.5"},
        {"overrider", "false"},
        {"controllerrrbid", "2"},
        {"overridel", "false"},
        {"controllerlrbid", "3"},
    };
    std::string text = "[SETTINGS]\n";
    for (const auto& [name, standard] : settings) {
        if (name != key) {
            text += name + " = " + standard + "\n";
        } else if (value) {
            text += name + " = " + *value + "\n";
        }
    }
    return text;
}
