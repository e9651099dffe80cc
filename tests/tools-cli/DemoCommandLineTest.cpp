// The demo's command line: what each switch sets, and the usage exit code with one clear line when
// a command line is wrong.

#include "tools/demo/DemoOptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "CommandLineArgs.h"
#include "TarvexVersion.h"

namespace {

demo::DemoCommandLine Parse(const std::vector<std::string>& switches) {
    const CommandLineArgs args("tarvex-demo", switches);
    return demo::ParseDemoCommandLine(args.argc(), args.argv());
}

struct OptionsCase {
    const char* name;
    std::vector<std::string> switches;
    std::function<void(demo::DemoOptions&)> expectedChanges;  // applied to the defaults
};

void PrintTo(const OptionsCase& c, std::ostream* out) {
    *out << c.name;
}

class DemoCommandLineOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(DemoCommandLineOptions, SetsWhatTheSwitchesSay) {
    const demo::DemoCommandLine parsed = Parse(GetParam().switches);
    ASSERT_TRUE(parsed.run) << parsed.message;
    demo::DemoOptions expected;
    GetParam().expectedChanges(expected);
    const demo::DemoOptions& actual = parsed.options;
    EXPECT_EQ(actual.frames, expected.frames);
    EXPECT_DOUBLE_EQ(actual.seconds, expected.seconds);
    EXPECT_EQ(actual.pathStart, expected.pathStart);
    EXPECT_EQ(actual.plotPath, expected.plotPath);
    EXPECT_EQ(actual.runtimeRecordPath, expected.runtimeRecordPath);
    EXPECT_EQ(actual.dumpViewsPath, expected.dumpViewsPath);
    EXPECT_EQ(actual.errorsPath, expected.errorsPath);
    EXPECT_EQ(actual.compareErrorsPath, expected.compareErrorsPath);
    EXPECT_EQ(actual.label, expected.label);
    EXPECT_EQ(actual.graphics, expected.graphics);
    EXPECT_EQ(actual.apiVersion, expected.apiVersion);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, DemoCommandLineOptions,
    testing::Values(
        OptionsCase{"Defaults", {}, [](demo::DemoOptions&) {}},
        OptionsCase{"Frames", {"--frames", "30"}, [](demo::DemoOptions& o) { o.frames = 30; }},
        OptionsCase{
            "Seconds", {"--seconds", "0.25"}, [](demo::DemoOptions& o) { o.seconds = 0.25; }},
        // The main job's command line.
        OptionsCase{"MainJob",
                    {"--seconds", "20", "--path-start", "1234.5", "--plot", "out/views.svg",
                     "--dump-views", "out/received-views.txt"},
                    [](demo::DemoOptions& o) {
                        o.seconds = 20.0;
                        o.pathStart = 1234.5;
                        o.plotPath = "out/views.svg";
                        o.dumpViewsPath = "out/received-views.txt";
                    }},
        // The main job's run with prediction, drawn beside the run without.
        OptionsCase{"ComparedErrors",
                    {"--path-start", "10", "--errors", "on.txt", "--compare-errors", "off.txt",
                     "--label", "prediction on"},
                    [](demo::DemoOptions& o) {
                        o.pathStart = 10.0;
                        o.errorsPath = "on.txt";
                        o.compareErrorsPath = "off.txt";
                        o.label = "prediction on";
                    }},
        OptionsCase{"NegativePathStart",
                    {"--path-start", "-2"},
                    [](demo::DemoOptions& o) { o.pathStart = -2.0; }},
        OptionsCase{"RuntimeRecord",
                    {"--runtime-record", "record.txt"},
                    [](demo::DemoOptions& o) { o.runtimeRecordPath = "record.txt"; }},
        // The Monado runs: a Vulkan session for a real compositor.
        OptionsCase{"GraphicsVulkan",
                    {"--graphics", "vulkan"},
                    [](demo::DemoOptions& o) { o.graphics = demo::GraphicsMode::kVulkan; }},
        OptionsCase{"GraphicsHeadlessAnyCase",
                    {"--graphics", "Headless"},
                    [](demo::DemoOptions& o) { o.graphics = demo::GraphicsMode::kHeadless; }},
        // The runs through the 1.1 loader.
        OptionsCase{"ApiVersion11",
                    {"--api-version", "1.1"},
                    [](demo::DemoOptions& o) { o.apiVersion = demo::ApiVersion::k1_1; }},
        OptionsCase{"ApiVersion10", {"--api-version", "1.0"}, [](demo::DemoOptions&) {}},
        OptionsCase{"RepeatedSwitchKeepsTheLast",
                    {"--frames", "5", "--frames", "7"},
                    [](demo::DemoOptions& o) { o.frames = 7; }}),
    [](const testing::TestParamInfo<OptionsCase>& test) { return std::string(test.param.name); });

struct ErrorCase {
    const char* name;
    std::vector<std::string> switches;
    std::string error;  // after "tarvex-demo: ", before " (see --help)"
};

void PrintTo(const ErrorCase& c, std::ostream* out) {
    *out << c.name;
}

class DemoCommandLineErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(DemoCommandLineErrors, ExitsWithTheUsageCode) {
    const demo::DemoCommandLine parsed = Parse(GetParam().switches);
    EXPECT_FALSE(parsed.run);
    EXPECT_EQ(parsed.exitCode, demo::kExitUsage);
    EXPECT_EQ(parsed.message, "tarvex-demo: " + GetParam().error + " (see --help)\n");
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, DemoCommandLineErrors,
    testing::Values(
        ErrorCase{"UnknownSwitch", {"--bogus"}, "unknown switch --bogus"},
        ErrorCase{"StrayArgument", {"20"}, "unexpected argument '20'"},
        ErrorCase{
            "ErrorsWithoutPathStart", {"--errors", "e.txt"}, "--errors requires --path-start"},
        ErrorCase{"CompareWithoutPathStart",
                  {"--compare-errors", "e.txt"},
                  "--compare-errors requires --path-start"},
        ErrorCase{"EmptyLabel", {"--label="}, "--label needs a value (TEXT)"},
        ErrorCase{"MissingValue", {"--frames", "3", "--seconds"}, "--seconds needs a value (S)"},
        ErrorCase{"EmptyPlot", {"--plot="}, "--plot needs a value (FILE)"},
        ErrorCase{"ZeroFrames", {"--frames", "0"}, "--frames: '0' is not an integer of at least 1"},
        ErrorCase{"FractionalFrames",
                  {"--frames", "1.5"},
                  "--frames: '1.5' is not an integer of at least 1"},
        ErrorCase{"ZeroSeconds", {"--seconds", "0"}, "--seconds: '0' is not a number above 0"},
        ErrorCase{
            "NegativeSeconds", {"--seconds", "-1"}, "--seconds: '-1' is not a number above 0"},
        ErrorCase{"InfinitePathStart",
                  {"--path-start", "inf"},
                  "--path-start: 'inf' is not a finite number"},
        ErrorCase{"UnknownGraphics",
                  {"--graphics", "opengl"},
                  "--graphics: 'opengl' is not auto, headless or vulkan"},
        ErrorCase{"UnknownApiVersion",
                  {"--api-version", "1.2"},
                  "--api-version: '1.2' is not 1.0 or 1.1"},
        ErrorCase{"FramesAndSeconds",
                  {"--frames", "3", "--seconds", "2"},
                  "--frames cannot go with --seconds"}),
    [](const testing::TestParamInfo<ErrorCase>& test) { return std::string(test.param.name); });

TEST(DemoCommandLine, VersionPrintsTheProjectVersion) {
    const demo::DemoCommandLine parsed = Parse({"--version"});
    EXPECT_FALSE(parsed.run);
    EXPECT_EQ(parsed.exitCode, demo::kExitOk);
    EXPECT_EQ(parsed.message, std::string("tarvex-demo ") + kTarvexVersion +
                                  " (stand-in client library, talks only to tarvex-mocap-sim)\n");
}

TEST(DemoCommandLine, HelpNamesEverySwitchAndTheExitCodes) {
    const demo::DemoCommandLine parsed = Parse({"--help"});
    EXPECT_FALSE(parsed.run);
    EXPECT_EQ(parsed.exitCode, demo::kExitOk);
    for (const char* text : {"--frames N", "--seconds S", "--path-start S", "--plot FILE",
                             "--runtime-record F", "--dump-views FILE", "--version",
                             "exit codes: 0 done, 1 usage, 2 OpenXR failure, 3 no reference "
                             "space"}) {
        EXPECT_NE(parsed.message.find(text), std::string::npos) << "no '" << text << "' in:\n"
                                                                << parsed.message;
    }
}

}  // namespace
