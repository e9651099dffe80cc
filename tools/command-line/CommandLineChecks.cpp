#include "tools/command-line/CommandLineChecks.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace tools {
namespace {

std::string FormatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

std::string DescribeBounds(const NumberBounds& bounds) {
    const bool hasLow = std::isfinite(bounds.low);
    const bool hasHigh = std::isfinite(bounds.high);
    std::string text = "a number";
    if (hasLow && hasHigh && bounds.lowIncluded) {
        return text + " from " + FormatNumber(bounds.low) + " to " + FormatNumber(bounds.high);
    }
    if (hasLow) {
        text += (bounds.lowIncluded ? " of at least " : " above ") + FormatNumber(bounds.low);
    }
    if (hasHigh) {
        text += (hasLow ? " and at most " : " of at most ") + FormatNumber(bounds.high);
    }
    return hasLow || hasHigh ? text : "a finite number";
}

bool ParseInteger(const std::string& text, long long* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    *value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

}  // namespace

bool ParseFiniteNumber(const std::string& text, double* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(*value);
}

CLI::Validator Number(NumberBounds bounds) {
    return CLI::Validator(
        [bounds](std::string& text) -> std::string {
            double value = 0.0;
            const bool inside = ParseFiniteNumber(text, &value) &&
                                (bounds.lowIncluded ? value >= bounds.low : value > bounds.low) &&
                                value <= bounds.high;
            return inside ? std::string() : "'" + text + "' is not " + DescribeBounds(bounds);
        },
        "");
}

CLI::Validator Integer(long long low, long long high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            long long value = 0;
            if (ParseInteger(text, &value) && value >= low && value <= high) {
                return {};
            }
            const std::string range =
                high == std::numeric_limits<long long>::max()
                    ? "of at least " + std::to_string(low)
                    : "from " + std::to_string(low) + " to " + std::to_string(high);
            return "'" + text + "' is not an integer " + range;
        },
        "");
}

std::string DescribeParseError(const CLI::App& app, const CLI::ParseError& error) {
    const std::string prefix = app.get_name() + ": ";
    std::string text = error.what();
    const std::vector<std::string> extras = app.remaining();
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && !extras.empty()) {
        const std::string& first = extras.front();
        text = first.rfind('-', 0) == 0 ? "unknown switch " + first
                                        : "unexpected argument '" + first + "'";
    }
    // CLI11 says "--frames excludes --seconds".
    const size_t excludes = text.find(" excludes ");
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr &&
        excludes != std::string::npos) {
        text.replace(excludes, std::string(" excludes ").size(), " cannot go with ");
    }
    // CLI11 says "--rate: 1 required HZ missing" when the value is missing.
    const size_t required = text.find(": 1 required ");
    const std::string missing = " missing";
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr &&
        required != std::string::npos && text.size() > missing.size() &&
        text.compare(text.size() - missing.size(), missing.size(), missing) == 0) {
        const size_t typeStart = required + std::string(": 1 required ").size();
        text = text.substr(0, required) + " needs a value (" +
               text.substr(typeStart, text.size() - missing.size() - typeStart) + ")";
    }
    return prefix + text + " (see --help)";
}

ParseOutcome ParseCommandLine(CLI::App& app, int argc, const char* const* argv,
                              std::string* message) {
    try {
        app.parse(argc, argv);
        return ParseOutcome::kRun;
    } catch (const CLI::CallForHelp&) {
        *message = app.help();
        return ParseOutcome::kShowInformation;
    } catch (const CLI::CallForVersion& version) {
        *message = std::string(version.what()) + "\n";
        return ParseOutcome::kShowInformation;
    } catch (const CLI::ParseError& error) {
        *message = DescribeParseError(app, error) + "\n";
        return ParseOutcome::kBadArguments;
    }
}

}  // namespace tools
