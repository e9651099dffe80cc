#include "tools/check/CheckRun.h"

#include <TarvexVersion.h>
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <optional>

#include "tools/check/ConfigurationCheck.h"
#include "tools/check/LogFileCheck.h"
#include "tools/check/RegistrationCheck.h"
#include "tools/check/Report.h"
#include "tools/command-line/CommandLineChecks.h"

namespace {

constexpr const char* kProgram = "tarvex-check";

constexpr const char* kExplanation = R"(
Checks what the XR_APILAYER_TARVEX_tracking_override layer needs to work, and prints one line
per check with its verdict and, for each warning or failure, what to do:
  registration   where the OpenXR loader looks for API layers, the layer's manifests found
                 there, their libraries, and the variables that switch the layer on and off
  configuration  TARVEX_OPENXR_CONFIG and TarvexOpenXRConfig.ini, read as the layer reads them,
                 and settings whose text the layer reads differently from how it looks
  motion capture the configured server (discovery when it does not answer), frame rate,
                 rigid bodies seen, the headset's pose as the layer stores it, latency

Exit code: 0 when every check the layer needs holds, 1 when one failed, 2 for a wrong command
line.)";

constexpr double kDefaultSeconds = 3.0;
constexpr double kMinimumSeconds = 0.1;
constexpr double kMaximumSeconds = 60.0;

struct Options {
    bool json = false;
    bool version = false;
    double seconds = kDefaultSeconds;
};

void Describe(CLI::App& app, Options& options) {
    app.footer(kExplanation);
    app.add_flag("--json", options.json, "print the same report as one JSON document");
    // One check for the whole text, so that every bad value gets the same plain answer (CLI11's
    // own range check lets NaN through and calls "2x" out of range).
    const CLI::Validator captureTime(
        [](std::string& text) {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            const bool good = !text.empty() && *end == '\0' && std::isfinite(value) &&
                              value >= kMinimumSeconds && value <= kMaximumSeconds;
            return good ? std::string()
                        : "takes a number of seconds from 0.1 to 60, not '" + text + "'";
        },
        "");
    app.add_option("--seconds", options.seconds,
                   "how long to wait for a server and to take frames (0.1 to 60; default 3)")
        ->type_name("N")
        ->check(captureTime);
    app.add_flag("--version", options.version, "print the version and exit");
}

}  // namespace

CheckRunResult RunCheck(const std::vector<std::string>& args, const MocapPorts& ports) {
    CLI::App app("", kProgram);
    Options options;
    Describe(app, options);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {0, app.help()};
    } catch (const CLI::ParseError& error) {
        // One line that names the mistake; the whole help would bury it.
        return {2, tools::DescribeParseError(app, error) + "\n"};
    }
    if (options.version) {
        return {0, TarvexVersionLine(kProgram) + "\n"};
    }

    Report report;
    // A stand-in build cannot reach a real server: the reader of a report must know which it was.
    report.SetHeading(TarvexVersionLine(kProgram));
    report.Facts("build") = {{"version", kTarvexVersion},
                             {"flavour", kTarvexFlavourTag},
                             {"client_library", kTarvexFlavour},
                             {"standin_client", kTarvexStandinClient}};
    CheckRegistration(report);
    const std::optional<TrackingSettings> settings = CheckConfiguration(report);
    ReportLogFile(report);
    if (settings) {
        CheckMotionCapture(*settings, options.seconds, report, ports);
    } else {
        report.Add("mocap", "skipped", Verdict::kInfo,
                   "not checked: the layer would not connect without its settings");
    }
    return {report.ExitCode(), options.json ? report.Json() : report.Text()};
}
