#include "standins/runtime/StandinConfig.h"

#include <cmath>
#include <cstdlib>

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

}  // namespace

StandinConfig ReadStandinConfig() {
    StandinConfig config;
    ReadFloat(kYawVariable, config.headingDegrees);
    ReadFloat(kEyeSeparationVariable, config.eyeSeparationMm);
    if (const char* path = std::getenv(kRecordVariable); path != nullptr) {
        config.recordPath = path;
    }
    return config;
}

}  // namespace standin
