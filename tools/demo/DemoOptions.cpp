#include "tools/demo/DemoOptions.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <limits>
#include <optional>

#include "TarvexVersion.h"
#include "tools/command-line/CommandLineChecks.h"

namespace demo {
namespace {

constexpr const char* kProgram = "tarvex-demo";

std::optional<GraphicsMode> GraphicsModeNamed(std::string name) {
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (name == "auto") {
        return GraphicsMode::kAuto;
    }
    if (name == "headless") {
        return GraphicsMode::kHeadless;
    }
    if (name == "vulkan") {
        return GraphicsMode::kVulkan;
    }
    return std::nullopt;
}

std::optional<ApiVersion> ApiVersionNamed(const std::string& name) {
    if (name == "1.0") {
        return ApiVersion::k1_0;
    }
    if (name == "1.1") {
        return ApiVersion::k1_1;
    }
    return std::nullopt;
}

CLI::Validator NotEmpty() {
    return CLI::Validator(
        [](std::string& text) { return text.empty() ? "the file name is empty" : std::string(); },
        "");
}

}  // namespace

DemoCommandLine ParseDemoCommandLine(int argc, const char* const* argv) {
    DemoCommandLine result;
    DemoOptions& options = result.options;

    CLI::App app("An OpenXR application that shows the view poses it receives.", kProgram);
    app.set_version_flag("--version", TarvexVersionLine(kProgram), "print the version and exit");
    app.set_help_flag("-h,--help", "this text");
    // A switch given twice keeps its last value, as it always has.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.get_formatter()->column_width(24);
    app.footer(
        "exit codes: 0 done, 1 usage, 2 OpenXR failure, 3 no reference space (no headset pose)");

    CLI::Option* frames =
        app.add_option("--frames", options.frames, "run N frames (default: run for --seconds, 10)")
            ->type_name("N")
            ->check(tools::Integer(1, std::numeric_limits<long long>::max()));
    CLI::Option* seconds = app.add_option("--seconds", options.seconds, "run for S seconds")
                               ->type_name("S")
                               ->check(tools::Number({0.0, false}));
    frames->excludes(seconds);
    seconds->excludes(frames);
    CLI::Option* pathStart =
        app.add_option_function<double>(
               "--path-start", [&options](double start) { options.pathStart = start; },
               "the simulator's start time (monotonic seconds, its first\nline): compare the "
               "received head with the simulator's circle\nwalk")
            ->type_name("S")
            ->check(tools::Number({}));
    app.add_option("--plot", options.plotPath,
                   "where to write the top-down SVG (default\ntarvex-demo-views.svg)")
        ->type_name("FILE")
        ->check(NotEmpty());
    app.add_option("--runtime-record", options.runtimeRecordPath,
                   "the stand-in runtime's record file, read for the\nruntime's own view poses "
                   "(default:\n$TARVEX_STANDIN_RUNTIME_RECORD, else\nFILE.runtime-record.txt "
                   "beside the plot)")
        ->type_name("F")
        ->check(NotEmpty());
    app.add_option("--dump-views", options.dumpViewsPath,
                   "write every view pair the application received, one\nline each: received "
                   "call_seconds=S display_time=NS\nview0=POSE view1=POSE (a pose is "
                   "px,py,pz,qx,qy,qz,qw)")
        ->type_name("FILE")
        ->check(NotEmpty());

    app.add_option("--errors", options.errorsPath,
                   "write the error at display time of every frame, for a\nlater run's "
                   "--compare-errors")
        ->type_name("FILE")
        ->check(NotEmpty())
        ->needs(pathStart);
    app.add_option("--compare-errors", options.compareErrorsPath,
                   "draw the errors another run wrote with --errors beside\nthis run's in the "
                   "picture's error panel")
        ->type_name("FILE")
        ->check(NotEmpty())
        ->needs(pathStart);
    app.add_option("--label", options.label,
                   "this run's name in the error panel and the --errors file\n(default \"this "
                   "run\")")
        ->type_name("TEXT")
        ->check(CLI::Validator(
            [](std::string& text) { return text.empty() ? "the label is empty" : std::string(); },
            ""));

    app.add_option_function<std::string>(
           "--graphics",
           [&options](const std::string& mode) { options.graphics = *GraphicsModeNamed(mode); },
           "auto, headless or vulkan: a headless session\n(XR_MND_headless), or a Vulkan session\n"
           "(XR_KHR_vulkan_enable2) whose cleared frames a real\ncompositor shows (default auto: "
           "headless where the\nruntime offers it, else Vulkan)")
        ->type_name("MODE")
        ->check(CLI::Validator(
            [](std::string& text) {
                return GraphicsModeNamed(text) ? std::string()
                                               : "'" + text + "' is not auto, headless or vulkan";
            },
            ""));

    app.add_option_function<std::string>(
           "--api-version",
           [&options](const std::string& version) {
               options.apiVersion = *ApiVersionNamed(version);
           },
           "1.0 or 1.1: the OpenXR version asked for in\nxrCreateInstance (default 1.0; the 1.0 "
           "loaders refuse\n1.1)")
        ->type_name("V")
        ->check(CLI::Validator(
            [](std::string& text) {
                return ApiVersionNamed(text) ? std::string() : "'" + text + "' is not 1.0 or 1.1";
            },
            ""));

    switch (tools::ParseCommandLine(app, argc, argv, &result.message)) {
        case tools::ParseOutcome::kRun:
            result.run = true;
            break;
        case tools::ParseOutcome::kShowInformation:
            break;
        case tools::ParseOutcome::kBadArguments:
            result.exitCode = kExitUsage;
            break;
    }
    return result;
}

}  // namespace demo
