#pragma once

#include <string>

namespace standin {

// What the stand-in is told through its own environment variables, read at xrCreateInstance.
struct StandinConfig {
    float headingDegrees = 25.0f;   // TARVEX_STANDIN_RUNTIME_YAW_DEG
    float eyeSeparationMm = 70.0f;  // TARVEX_STANDIN_RUNTIME_EYE_SEPARATION_MM
    std::string recordPath;         // TARVEX_STANDIN_RUNTIME_RECORD; empty: record nothing
};

inline constexpr const char* kYawVariable = "TARVEX_STANDIN_RUNTIME_YAW_DEG";
inline constexpr const char* kEyeSeparationVariable = "TARVEX_STANDIN_RUNTIME_EYE_SEPARATION_MM";
inline constexpr const char* kRecordVariable = "TARVEX_STANDIN_RUNTIME_RECORD";

// Unset or unreadable numbers keep their defaults, so a typo cannot make the pose nonsense.
StandinConfig ReadStandinConfig();

}  // namespace standin
