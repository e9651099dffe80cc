#pragma once

#include <array>
#include <atomic>
#include <string>

class IniFile;

// Behaviour beyond the nine settings, each off unless the configuration file's [OPTIONS] section
// turns it on; without that section the layer behaves exactly as it always has.
struct LayerOptions {
    // Extrapolate the tracked head to the time the frame will be shown.
    bool predictDisplayTime = false;
    // Predictions further ahead than this are clamped to it.
    float maxPredictionMs = 50.0f;
    // Locating VIEW reference spaces in world spaces created through the layer (alone or in a
    // batch) gives the tracked head, as xrLocateViews does, and the reverse its inverse.
    bool trackedViewSpace = false;
    // Views lose their tracked bits while the newest headset frame is older than this; 0: never.
    float trackingLossMs = 0.0f;
    // xrEndFrame hands the compositor the runtime's own views of the frame instead of the tracked
    // ones, so that a reprojecting compositor corrects only for its own head's motion.
    bool submitRuntimeViews = false;

    bool AnyOn() const {
        return predictDisplayTime || trackedViewSpace || trackingLossMs > 0.0f ||
               submitRuntimeViews;
    }
};

inline constexpr const char* kOptionsSection = "OPTIONS";
// Every key the section knows; any other is ignored (UnknownOptionKeys.h).
inline constexpr std::array<const char*, 5> kOptionKeys = {"predictdisplaytime", "maxpredictionms",
                                                           "trackedviewspace", "trackinglossms",
                                                           "submitruntimeviews"};

// Reads the [OPTIONS] section; absent keys keep their defaults, absent section means all off.
// Throws the reader's runtime error for a value of the wrong form, and std::runtime_error for one
// out of range.
LayerOptions ReadLayerOptions(const IniFile& ini);

// The options of the configuration file that TARVEX_OPENXR_CONFIG names, read at instance
// creation, before the tracker starts. Never throws: a missing file means no options (the
// tracker's start-up reports it), a bad option is reported in `problem` and all are off.
LayerOptions LoadLayerOptions(std::string* problem);

// The options as lines for the log file and the check tool: "options: none set" or one line each.
std::string DescribeLayerOptions(const LayerOptions& options);

// The options in force, shared by the hooks on any thread.
struct ActiveLayerOptions {
    std::atomic<bool> predictDisplayTime{false};
    std::atomic<float> maxPredictionMs{50.0f};
    std::atomic<bool> trackedViewSpace{false};
    std::atomic<float> trackingLossMs{0.0f};
    std::atomic<bool> submitRuntimeViews{false};

    void Set(const LayerOptions& options) {
        predictDisplayTime.store(options.predictDisplayTime);
        maxPredictionMs.store(options.maxPredictionMs);
        trackedViewSpace.store(options.trackedViewSpace);
        trackingLossMs.store(options.trackingLossMs);
        submitRuntimeViews.store(options.submitRuntimeViews);
    }
};
