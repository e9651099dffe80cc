// What the demo measures when the tracking layer runs in front of the stand-in runtime, fed by
// the simulator over loopback: the error at display time without and with the layer's prediction,
// and the count of frames whose views lack the tracked bits while the stream pauses.
//
// The layer's first connection goes to the fixed motion-capture ports, so these runs hold the
// "mocap_ports" lock.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"
#include "tools/mocap-sim/MocapPath.h"

namespace {

constexpr double kRunTimeoutSeconds = 60.0;
// The circle walk's speed, metres per second.
const double kWalkSpeed = 2.0 * std::numbers::pi * kCircleRadiusMetres / kLapSeconds;

struct DisplayError {
    double positionMedianMm, positionP99Mm, rotationMedianDeg, rotationP99Deg, aheadMs;
};

std::optional<DisplayError> ReadDisplayError(const std::string& output) {
    static const std::regex line(
        R"(  error at display time: position median ([0-9.]+) mm, 99th percentile ([0-9.]+) mm; )"
        R"(rotation median ([0-9.]+) deg, 99th percentile ([0-9.]+) deg \([0-9]+ frames; display )"
        R"(([0-9.]+) ms after the call, median\))");
    std::smatch match;
    if (!std::regex_search(output, match, line)) {
        return std::nullopt;
    }
    return DisplayError{std::stod(match[1]), std::stod(match[2]), std::stod(match[3]),
                        std::stod(match[4]), std::stod(match[5])};
}

class DemoMeasuresThroughLoader : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, dir_ + "/runtime-record.txt");
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
        environment_["XR_API_LAYER_PATH"] = TARVEX_LAYER_MANIFEST_DIR;
        environment_["XR_ENABLE_API_LAYERS"] = "XR_APILAYER_TARVEX_tracking_override";
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    void WriteConfig(const std::string& options) {
        e2e::WriteLayerConfig(dir_, e2e::kLoopbackSettings + options);
    }

    void StartSimulator(const std::vector<std::string>& switches) {
        const auto pathStart = e2e::StartSimulator(simulator_, switches, dir_);
        ASSERT_TRUE(pathStart);
        pathStart_ = *pathStart;
    }

    e2e::ChildRun RunDemo(const std::string& name, const std::vector<std::string>& options) {
        std::vector<std::string> argv = {TARVEX_DEMO_PATH,
                                         "--path-start",
                                         std::to_string(pathStart_),
                                         "--plot",
                                         dir_ + "/" + name + ".svg",
                                         "--dump-views",
                                         DumpPath(name)};
        argv.insert(argv.end(), options.begin(), options.end());
        const e2e::ChildRun run =
            e2e::RunChild(argv, environment_, dir_ + "/" + name + ".txt", kRunTimeoutSeconds);
        EXPECT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return run;
    }

    std::string DumpPath(const std::string& name) const { return dir_ + "/" + name + "-views.txt"; }

    std::string dir_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
    double pathStart_ = 0.0;
};

// Unpredicted, a pose is shown the runtime's display delay plus its age at the call (under a
// 240 Hz frame period and delivery, more in a slow sanitized build) after its capture: the walk
// covers that much. Predicted, the
// layer carries it to the display time, up to the error of the clock offset its client library
// estimated at connection.
TEST_F(DemoMeasuresThroughLoader, ErrorAtDisplayTimeFallsWithPrediction) {
    StartSimulator({"--path", "circle"});
    WriteConfig("");
    const e2e::ChildRun off = RunDemo("off", {"--seconds", "3"});
    WriteConfig("[OPTIONS]\npredictdisplaytime = true\n");
    const e2e::ChildRun on = RunDemo("on", {"--seconds", "3"});

    const auto offError = ReadDisplayError(off.output);
    const auto onError = ReadDisplayError(on.output);
    ASSERT_TRUE(offError) << off.output;
    ASSERT_TRUE(onError) << on.output;
    const double aheadSeconds = offError->aheadMs * 1e-3;
    EXPECT_GT(aheadSeconds, 0.005);
    EXPECT_GT(offError->positionMedianMm, kWalkSpeed * aheadSeconds * 1e3) << off.output;
    EXPECT_LT(offError->positionMedianMm, kWalkSpeed * (aheadSeconds + 0.030) * 1e3) << off.output;
    EXPECT_LE(offError->positionMedianMm, offError->positionP99Mm);
    // The head turns at up to 30 deg * 2 pi * 0.25 Hz plus the walk's 18 deg a second.
    EXPECT_GT(offError->rotationP99Deg, 0.3) << off.output;
    EXPECT_LT(onError->positionMedianMm, offError->positionMedianMm / 2.0) << on.output;
    EXPECT_LT(onError->rotationMedianDeg, offError->rotationMedianDeg / 2.0) << on.output;
}

// While the stream pauses, every frame located more than trackinglossms after the newest headset
// frame is counted; none outside the pause is.
TEST_F(DemoMeasuresThroughLoader, CountsTheFramesWithoutTheTrackedBitsDuringAPause) {
    constexpr double kPauseAfter = 1.0;
    constexpr double kPauseFor = 1.5;
    constexpr double kLossSeconds = 0.1;
    constexpr double kSlack = 0.05;
    StartSimulator({"--path", "circle", "--pause-after", std::to_string(kPauseAfter), "--pause-for",
                    std::to_string(kPauseFor)});
    WriteConfig("[OPTIONS]\ntrackinglossms = 100\n");
    const e2e::ChildRun run = RunDemo("loss", {"--seconds", "3.5"});

    static const std::regex line(
        R"(  tracking lost \(views without the tracked bits\): ([0-9]+) of ([0-9]+) frames)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(run.output, match, line)) << run.output;
    const size_t flagged = std::stoul(match[1]);
    const std::vector<e2e::ReceivedViews> views = e2e::ReadViewDump(DumpPath("loss"));
    ASSERT_EQ(std::stoul(match[2]), views.size());

    const double from = pathStart_ + kPauseAfter + kLossSeconds;
    const double to = pathStart_ + kPauseAfter + kPauseFor;
    size_t surelyLost = 0;
    size_t maybeLost = 0;
    for (const e2e::ReceivedViews& view : views) {
        surelyLost += view.callSeconds > from + kSlack && view.callSeconds < to - kSlack ? 1 : 0;
        maybeLost += view.callSeconds > from - kSlack && view.callSeconds < to + kSlack ? 1 : 0;
    }
    EXPECT_GT(surelyLost, 50u) << "too few frames during the pause to tell";
    EXPECT_GE(flagged, surelyLost) << run.output;
    EXPECT_LE(flagged, maybeLost) << run.output;
}

}  // namespace
