#include "tracking/LayerOptions.h"

#include <exception>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "ini/IniFile.h"
#include "tracking/TrackingSettings.h"

namespace {

template <typename T>
std::optional<T> Option(const IniFile& ini,
                        const std::unordered_map<std::string, std::string>& keys, const char* key) {
    if (keys.find(key) == keys.end()) {
        return std::nullopt;
    }
    return ini.get<T>(kOptionsSection, key);
}

float InRange(float value, float low, float high, const char* key) {
    if (!(value >= low && value <= high)) {
        throw std::runtime_error(std::string("option '") + key + "' must lie between " +
                                 std::to_string(static_cast<int>(low)) + " and " +
                                 std::to_string(static_cast<int>(high)) + ".");
    }
    return value;
}

}  // namespace

LayerOptions ReadLayerOptions(const IniFile& ini) {
    LayerOptions options;
    std::unordered_map<std::string, std::string> keys;
    try {
        keys = ini.getSection(kOptionsSection);
    } catch (const std::runtime_error&) {
        return options;  // no section: every option off
    }
    if (auto value = Option<bool>(ini, keys, "predictdisplaytime")) {
        options.predictDisplayTime = *value;
    }
    if (auto value = Option<float>(ini, keys, "maxpredictionms")) {
        options.maxPredictionMs = InRange(*value, 0.0f, 200.0f, "maxpredictionms");
    }
    if (auto value = Option<bool>(ini, keys, "trackedviewspace")) {
        options.trackedViewSpace = *value;
    }
    if (auto value = Option<float>(ini, keys, "trackinglossms")) {
        options.trackingLossMs = InRange(*value, 0.0f, 10000.0f, "trackinglossms");
    }
    if (auto value = Option<bool>(ini, keys, "submitruntimeviews")) {
        options.submitRuntimeViews = *value;
    }
    return options;
}

LayerOptions LoadLayerOptions(std::string* problem) {
    const std::optional<std::string> path = ConfigFilePath();
    if (!path) {
        return {};
    }
    std::optional<IniFile> ini;
    try {
        ini.emplace(*path);
    } catch (const std::exception&) {
        return {};
    }
    try {
        return ReadLayerOptions(*ini);
    } catch (const std::exception& error) {
        *problem = error.what();
        return {};
    }
}

std::string DescribeLayerOptions(const LayerOptions& options) {
    if (!options.AnyOn()) {
        return "options: none set\n";
    }
    std::ostringstream text;
    text << "options:\n";
    if (options.predictDisplayTime) {
        text << "  predictdisplaytime = true (at most " << options.maxPredictionMs
             << " ms ahead)\n";
    }
    if (options.trackedViewSpace) {
        text << "  trackedviewspace   = true\n";
    }
    if (options.trackingLossMs > 0.0f) {
        text << "  trackinglossms     = " << options.trackingLossMs << '\n';
    }
    if (options.submitRuntimeViews) {
        text << "  submitruntimeviews = true\n";
    }
    return text.str();
}
