#include "standins/runtime/StandinConfig.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace standin {
namespace {

void ReadFloat(const char* variable, float& value) {
    const char* text = std::getenv(variable);
    if (text == nullptr || *text == '\0') {
        return;
    }
    char* end = nullptr;
    const float parsed = std::strtof(text, &end);
    if (*end == '\0' && std::isfinite(parsed)) {
        value = parsed;
    }
}

bool ParseCount(const std::string& text, uint32_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 9) {
        return false;
    }
    value = static_cast<uint32_t>(std::stoul(text));
    return true;
}

std::string ReadText(const char* variable) {
    const char* text = std::getenv(variable);
    return text != nullptr ? text : "";
}

}  // namespace

std::vector<uint32_t> ParseFrameList(const std::string& text) {
    std::vector<uint32_t> frames;
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, ',');) {
        uint32_t frame = 0;
        if (!ParseCount(item, frame) || frame == 0) {
            return {};
        }
        frames.push_back(frame);
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

bool TimeConversionOffered() {
    const std::string text = ReadText(kNoTimeConversionVariable);
    return text.empty() || text == "0";
}

StandinConfig ReadStandinConfig() {
    StandinConfig config;
    ReadFloat(kYawVariable, config.headingDegrees);
    ReadFloat(kEyeSeparationVariable, config.eyeSeparationMm);
    config.recordPath = ReadText(kRecordVariable);
    if (uint32_t frames = 0; ParseCount(ReadText(kSessionFramesVariable), frames)) {
        config.sessionFrames = frames;
    }
    ReadFloat(kDisplayDelayVariable, config.displayDelayMs);
    if (!(config.displayDelayMs >= 0.0f && config.displayDelayMs <= 1000.0f)) {
        config.displayDelayMs = -1.0f;
    }
    config.captureDirectory = ReadText(kCaptureDirectoryVariable);
    if (!config.captureDirectory.empty()) {
        config.captureFrames = ParseFrameList(ReadText(kCaptureFramesVariable));
    }
    return config;
}

}  // namespace standin
