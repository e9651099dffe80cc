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
    if (JsonValue* existing = facts_.Find(section)) {
        return *existing;
    }
    return facts_.Set(section, JsonValue::Object{});
}

int Report::Count(Verdict verdict) const {
    int count = 0;
    for (const CheckLine& line : lines_) {
        count += line.verdict == verdict ? 1 : 0;
    }
    return count;
}

std::string Report::Text() const {
    std::string out;
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
    JsonValue::Array checks;
    for (const CheckLine& line : lines_) {
        JsonValue entry;
        entry.Set("section", line.section);
        entry.Set("check", line.check);
        entry.Set("verdict", VerdictName(line.verdict));
        entry.Set("message", line.message);
        if (!line.advice.empty()) {
            entry.Set("advice", line.advice);
        }
        if (!line.details.empty()) {
            JsonValue::Array details(line.details.begin(), line.details.end());
            entry.Set("details", std::move(details));
        }
        checks.push_back(std::move(entry));
    }
    JsonValue document;
    document.Set("passed", Passed());
    document.Set("exit_code", ExitCode());
    document.Set("failures", Count(Verdict::kFail));
    document.Set("warnings", Count(Verdict::kWarn));
    document.Set("checks", std::move(checks));
    document.Set("facts", facts_.IsNull() ? JsonValue(JsonValue::Object{}) : facts_);
    return document.Write() + "\n";
}
