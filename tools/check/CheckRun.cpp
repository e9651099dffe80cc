#include "tools/check/CheckRun.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "tools/check/ConfigurationCheck.h"
#include "tools/check/MocapCheck.h"
#include "tools/check/RegistrationCheck.h"
#include "tools/check/Report.h"

namespace {

constexpr const char* kUsage = R"(Usage: tarvex-check [--json] [--seconds N]

Checks what the XR_APILAYER_TARVEX_tracking_override layer needs to work, and prints one line
per check with its verdict and, for each failure, what to do:
  registration   where the OpenXR loader looks for API layers, the layer's manifests found
                 there, their libraries, and the variables that switch the layer off
  configuration  TARVEX_OPENXR_CONFIG and TarvexOpenXRConfig.ini, read as the layer reads them
  motion capture the configured server (discovery when it does not answer), frame rate,
                 rigid bodies seen, the headset's pose as the layer stores it, latency

Options:
  --json        print the same report as one JSON document
  --seconds N   how long to wait for a server and to take frames (default 3, 0.1 to 60)
  --help        this text

Exit code: 0 when every check the layer needs holds, 1 when one failed, 2 for a wrong command
line.
)";

constexpr double kDefaultSeconds = 3.0;

struct Options {
    bool json = false;
    double seconds = kDefaultSeconds;
};

std::optional<double> ParseSeconds(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0.1 ||
        value > 60.0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

CheckRunResult RunCheck(const std::vector<std::string>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            return {0, kUsage};
        }
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--seconds" && i + 1 < args.size()) {
            const std::optional<double> seconds = ParseSeconds(args[++i]);
            if (!seconds) {
                return {2, "tarvex-check: --seconds takes a number from 0.1 to 60\n"};
            }
            options.seconds = *seconds;
        } else {
            return {2, "tarvex-check: unknown or incomplete option '" + arg + "'\n\n" + kUsage};
        }
    }

    Report report;
    CheckRegistration(report);
    const std::optional<TrackingSettings> settings = CheckConfiguration(report);
    if (settings) {
        CheckMotionCapture(*settings, options.seconds, report);
    } else {
        report.Add("mocap", "skipped", Verdict::kInfo,
                   "not checked: the layer would not connect without its settings");
    }
    return {report.ExitCode(), options.json ? report.Json() : report.Text()};
}
