#pragma once

// Settings whose text in the file is not what the layer will use: a number followed by more text
// (read up to where the number ends), "#" taken for a comment after a value, a fractional id, and
// an eye distance no person has.

#include <string>
#include <vector>

#include "tracking/TrackingSettings.h"

class IniFile;

struct SettingTextFinding {
    std::string check;    // "setting_text" or "ipd_range"
    std::string key;      // the setting, e.g. "ipd"
    std::string text;     // the value as written in the file
    std::string message;  // what the layer makes of it
    std::string advice;
};

// Compares the raw texts of the file with the values the layer read from them.
std::vector<SettingTextFinding> CompareSettingTexts(const IniFile& ini,
                                                    const TrackingSettings& settings);

// The human range of the interpupillary distance, in millimetres.
inline constexpr float kMinimumIpdMm = 50.0f;
inline constexpr float kMaximumIpdMm = 80.0f;
