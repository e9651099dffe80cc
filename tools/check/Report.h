#pragma once

// The check report: one line per check with its verdict, what to do about a failure, and the
// facts behind it for the machine-readable form.

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

// Members keep the order they were added in, so the report reads in the order of the checks.
using JsonValue = nlohmann::ordered_json;

enum class Verdict { kOk, kInfo, kWarn, kFail };

struct CheckLine {
    std::string section;  // "registration", "configuration" or "mocap"
    std::string check;    // short stable name, for the machine-readable form
    Verdict verdict = Verdict::kInfo;
    std::string message;
    std::string advice;                // what to do; given for failures and warnings
    std::vector<std::string> details;  // extra lines printed under the message
};

class Report {
public:
    CheckLine& Add(std::string section, std::string check, Verdict verdict, std::string message,
                   std::string advice = {});

    // Facts of one section for the machine-readable form ("settings", "frame_rate_hz", ...).
    // The reference stays valid until another section's facts are first asked for.
    JsonValue& Facts(const std::string& section);

    // A line printed above the sections: which build made the report.
    void SetHeading(std::string heading) { heading_ = std::move(heading); }

    const std::vector<CheckLine>& Lines() const { return lines_; }
    int Count(Verdict verdict) const;
    // Everything the layer needs holds: no check failed.
    bool Passed() const { return Count(Verdict::kFail) == 0; }
    int ExitCode() const { return Passed() ? 0 : 1; }

    std::string Text() const;
    // One JSON document. Bytes that are not UTF-8 (a path in a Windows code page) become U+FFFD,
    // so the document stays valid and the rest of the path stays readable.
    std::string Json() const;

private:
    std::string heading_;
    std::vector<CheckLine> lines_;
    JsonValue facts_ = JsonValue::object();
};

const char* VerdictTag(Verdict verdict);
const char* VerdictName(Verdict verdict);
