#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// What the stand-in is told through its own environment variables, read at xrCreateInstance.
struct StandinConfig {
    float headingDegrees = 25.0f;         // TARVEX_STANDIN_RUNTIME_YAW_DEG
    float eyeSeparationMm = 70.0f;        // TARVEX_STANDIN_RUNTIME_EYE_SEPARATION_MM
    std::string recordPath;               // TARVEX_STANDIN_RUNTIME_RECORD; empty: record nothing
    uint32_t sessionFrames = 0;           // TARVEX_STANDIN_SESSION_FRAMES; 0: the session runs on
    std::vector<uint32_t> captureFrames;  // TARVEX_STANDIN_CAPTURE_FRAMES, ascending
    std::string captureDirectory;         // TARVEX_STANDIN_CAPTURE_DIR
    // TARVEX_STANDIN_DISPLAY_DELAY_MS: how far past its start a frame is shown, 0 to 1000 ms;
    // negative: one frame period.
    float displayDelayMs = -1.0f;
};

inline constexpr const char* kYawVariable = "TARVEX_STANDIN_RUNTIME_YAW_DEG";
inline constexpr const char* kEyeSeparationVariable = "TARVEX_STANDIN_RUNTIME_EYE_SEPARATION_MM";
inline constexpr const char* kRecordVariable = "TARVEX_STANDIN_RUNTIME_RECORD";
inline constexpr const char* kSessionFramesVariable = "TARVEX_STANDIN_SESSION_FRAMES";
inline constexpr const char* kCaptureFramesVariable = "TARVEX_STANDIN_CAPTURE_FRAMES";
inline constexpr const char* kCaptureDirectoryVariable = "TARVEX_STANDIN_CAPTURE_DIR";
inline constexpr const char* kDisplayDelayVariable = "TARVEX_STANDIN_DISPLAY_DELAY_MS";
inline constexpr const char* kNoTimeConversionVariable = "TARVEX_STANDIN_NO_TIME_CONVERSION";

// Unset or unreadable numbers keep their defaults, so a typo cannot make the pose nonsense.
StandinConfig ReadStandinConfig();

// Whether the runtime offers its platform's time conversion (XR_KHR_convert_timespec_time, or
// XR_KHR_win32_convert_performance_counter_time on Windows): yes unless
// TARVEX_STANDIN_NO_TIME_CONVERSION is set to something other than 0. Read at each call, as the
// extension list is asked for before any instance exists.
bool TimeConversionOffered();

// "30,90,150" as ascending frame numbers (from 1) without repeats; empty for text that is not such
// a list, so a typo captures nothing rather than something unexpected.
std::vector<uint32_t> ParseFrameList(const std::string& text);

}  // namespace standin
