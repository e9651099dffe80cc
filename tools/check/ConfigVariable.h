#pragma once

// Mistakes in the text of TARVEX_OPENXR_CONFIG that leave the layer without its file: the text
// as typed says what went wrong better than "file not found" does.

#include <optional>
#include <string>

struct ConfigVariableMistake {
    std::string kind;     // for the machine-readable form: empty, names_file, unexpanded_tilde
    std::string message;  // what the layer makes of the text
    std::string advice;
};

// value: the variable's text; path: the file the layer reads from it; home: the user's home
// folder, empty when unknown. Nothing when the file is there or the text shows no such mistake.
std::optional<ConfigVariableMistake> FindConfigVariableMistake(const std::string& value,
                                                               const std::string& path,
                                                               const std::string& home);

// The user's home folder from the environment (HOME, or USERPROFILE on Windows), or empty.
std::string HomeFolder();
