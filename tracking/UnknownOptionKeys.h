#pragma once

#include <span>
#include <string>
#include <vector>

class IniFile;

// A key of the [OPTIONS] section that names no option: the layer ignores it, so a misspelt option
// would silently stay off. Said in the log file and by the check tool.
struct UnknownOptionKey {
    std::string key;
    std::string nearest;  // the known option it most likely means, or empty when none is close
};

// The section's unknown keys in alphabetical order; none without the section.
std::vector<UnknownOptionKey> FindUnknownOptionKeys(const IniFile& ini);

// The same for any section and its known keys (the check tool uses it for [SETTINGS]).
std::vector<UnknownOptionKey> FindUnknownKeys(const IniFile& ini, const std::string& section,
                                              std::span<const char* const> known);

// One line without its newline, such as: option key 'maxpredictionsms' in [OPTIONS] is unknown
// and ignored (did you mean 'maxpredictionms'?)
std::string DescribeUnknownOptionKey(const UnknownOptionKey& unknown);
