#include "tracking/UnknownOptionKeys.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <unordered_map>

#include "ini/IniFile.h"
#include "tracking/LayerOptions.h"

namespace {

// Keys this many edits or fewer from a known one (letter case aside) are taken as meaning it.
constexpr size_t kMaxEdits = 3;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Insertions, deletions and substitutions that turn one text into the other.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string NearestKnownKey(const std::string& key, std::span<const char* const> knownKeys) {
    const std::string lower = Lower(key);
    std::string nearest;
    size_t best = kMaxEdits + 1;
    for (const char* known : knownKeys) {
        const size_t edits = EditDistance(lower, known);
        if (edits < best) {
            best = edits;
            nearest = known;
        }
    }
    return nearest;
}

}  // namespace

std::vector<UnknownOptionKey> FindUnknownOptionKeys(const IniFile& ini) {
    return FindUnknownKeys(ini, kOptionsSection, kOptionKeys);
}

std::vector<UnknownOptionKey> FindUnknownKeys(const IniFile& ini, const std::string& section,
                                              std::span<const char* const> known) {
    std::unordered_map<std::string, std::string> keys;
    try {
        keys = ini.getSection(section);
    } catch (const std::runtime_error&) {
        return {};
    }
    std::vector<UnknownOptionKey> unknown;
    for (const auto& [key, value] : keys) {
        if (std::find_if(known.begin(), known.end(),
                         [&](const char* name) { return key == name; }) == known.end()) {
            unknown.push_back({key, NearestKnownKey(key, known)});
        }
    }
    std::sort(unknown.begin(), unknown.end(),
              [](const UnknownOptionKey& a, const UnknownOptionKey& b) { return a.key < b.key; });
    return unknown;
}

std::string DescribeUnknownOptionKey(const UnknownOptionKey& unknown) {
    std::string text =
        "option key '" + unknown.key + "' in [" + kOptionsSection + "] is unknown and ignored";
    if (!unknown.nearest.empty()) {
        text += " (did you mean '" + unknown.nearest + "'?)";
    }
    return text;
}
