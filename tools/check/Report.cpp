#include "tools/check/Report.h"

#include <utility>

namespace {

const char* SectionTitle(const std::string& section) {
    if (section == "registration") {
        return "Registration (where the OpenXR loader finds the layer)";
    }
    if (section == "configuration") {
        return "Configuration";
    }
    if (section == "mocap") {
        return "Motion capture";
    }
    return section.c_str();
}

}  // namespace

const char* VerdictTag(Verdict verdict) {
    switch (verdict) {
        case Verdict::kOk:
            return "[ OK ]";
        case Verdict::kInfo:
            return "[INFO]";
        case Verdict::kWarn:
            return "[WARN]";
        case Verdict::kFail:
            return "[FAIL]";
    }
    return "[????]";
}

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::kOk:
            return "ok";
        case Verdict::kInfo:
            return "info";
        case Verdict::kWarn:
            return "warn";
        case Verdict::kFail:
            return "fail";
    }
    return "unknown";
}

CheckLine& Report::Add(std::string section, std::string check, Verdict verdict, std::string message,
                       std::string advice) {
    lines_.push_back(CheckLine{
        std::move(section), std::move(check), verdict, std::move(message), std::move(advice), {}});
    return lines_.back();
}

JsonValue& Report::Facts(const std::string& section) {
    JsonValue& facts = facts_[section];
    if (facts.is_null()) {
        facts = JsonValue::object();
    }
    return facts;
}

int Report::Count(Verdict verdict) const {
    int count = 0;
    for (const CheckLine& line : lines_) {
        count += line.verdict == verdict ? 1 : 0;
    }
    return count;
}

std::string Report::Text() const {
    std::string out = heading_.empty() ? std::string() : heading_ + "\n";
    std::string section;
    for (const CheckLine& line : lines_) {
        if (line.section != section) {
            section = line.section;
            out += std::string(out.empty() ? "" : "\n") + SectionTitle(section) + "\n";
        }
        out += std::string(VerdictTag(line.verdict)) + " " + line.message + "\n";
        for (const std::string& detail : line.details) {
            out += "       " + detail + "\n";
        }
        if (!line.advice.empty() && line.verdict != Verdict::kOk) {
            out += "       what to do: " + line.advice + "\n";
        }
    }
    const int failures = Count(Verdict::kFail);
    const int warnings = Count(Verdict::kWarn);
    out += "\n";
    if (failures == 0) {
        out += "Result: OK, the layer has what it needs";
    } else {
        out += "Result: FAILED, " + std::to_string(failures) +
               (failures == 1 ? " check failed" : " checks failed");
    }
    if (warnings > 0) {
        out += " (" + std::to_string(warnings) + (warnings == 1 ? " warning)" : " warnings)");
    }
    out += "\n";
    return out;
}

std::string Report::Json() const {
    JsonValue checks = JsonValue::array();
    for (const CheckLine& line : lines_) {
        JsonValue entry = {{"section", line.section},
                           {"check", line.check},
                           {"verdict", VerdictName(line.verdict)},
                           {"message", line.message}};
        if (!line.advice.empty()) {
            entry["advice"] = line.advice;
        }
        if (!line.details.empty()) {
            entry["details"] = line.details;
        }
        checks.push_back(std::move(entry));
    }
    const JsonValue document = {{"passed", Passed()},
                                {"exit_code", ExitCode()},
                                {"failures", Count(Verdict::kFail)},
                                {"warnings", Count(Verdict::kWarn)},
                                {"checks", std::move(checks)},
                                {"facts", facts_}};
    return document.dump(-1, ' ', false, JsonValue::error_handler_t::replace) + "\n";
}
