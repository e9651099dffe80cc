#include "tools/mocap-sim/SimOptions.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool ParseInt(const std::string& text, long long low, long long high, long long* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

}  // namespace

bool ParseCommandAnswer(const std::string& text, CommandAnswer* answer) {
    long long value = 0;
    if (text == "empty") {
        *answer = {CommandAnswer::Kind::kEmpty, 0};
        return true;
    }
    if (text == "silent") {
        *answer = {CommandAnswer::Kind::kSilent, 0};
        return true;
    }
    if (text.rfind("long:", 0) == 0 && ParseInt(text.substr(5), INT32_MIN, INT32_MAX, &value)) {
        *answer = {CommandAnswer::Kind::kLong, static_cast<int32_t>(value)};
        return true;
    }
    if (text.rfind("error:", 0) == 0 && ParseInt(text.substr(6), INT32_MIN, INT32_MAX, &value) &&
        value != 0) {
        *answer = {CommandAnswer::Kind::kError, static_cast<int32_t>(value)};
        return true;
    }
    if (ParseInt(text, INT32_MIN, INT32_MAX, &value)) {
        *answer = {CommandAnswer::Kind::kInt32, static_cast<int32_t>(value)};
        return true;
    }
    return false;
}

std::string DescribeCommandAnswer(const CommandAnswer& answer) {
    switch (answer.kind) {
        case CommandAnswer::Kind::kInt32:
            return std::to_string(answer.value);
        case CommandAnswer::Kind::kEmpty:
            return "empty";
        case CommandAnswer::Kind::kLong:
            return "long:" + std::to_string(answer.value);
        case CommandAnswer::Kind::kError:
            return "error:" + std::to_string(answer.value);
        case CommandAnswer::Kind::kSilent:
            return "silent";
    }
    return "?";
}
