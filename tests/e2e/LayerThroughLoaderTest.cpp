// The tracking layer the way users run it: loaded by the system's loader from its manifest into
// the demo's process, in front of the stand-in runtime, fed by the simulated motion-capture
// server over loopback. The layer uses the fixed ports, so these tests take the "mocap_ports"
// lock.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"
#include "tests/e2e/OpenXrSdks.h"

namespace {

using e2e::kLayerName;
using e2e::kWorkedExamplePose;
using e2e::kWorkedLeft;
using e2e::kWorkedRight;
using e2e::kWorkedSpace;

using e2e::kCoreValidationName;
constexpr const char* kLoadLine =
    "OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library "
    "initialized.";
constexpr double kDemoTimeoutSeconds = 60.0;

// How near the worked example's poses (e2e::kWorkedLeft, ...) the received ones must be.
constexpr double kWorkedTolerance = 1e-5;

size_t CountLines(const std::string& text, const std::string& line) {
    size_t count = 0;
    for (size_t at = text.find(line + "\n"); at != std::string::npos;
         at = text.find(line + "\n", at + 1)) {
        if (at == 0 || text[at - 1] == '\n') {
            ++count;
        }
    }
    return count;
}

bool SamePose(const XrPosef& a, const XrPosef& b) {
    return a.position.x == b.position.x && a.position.y == b.position.y &&
           a.position.z == b.position.z && a.orientation.x == b.orientation.x &&
           a.orientation.y == b.orientation.y && a.orientation.z == b.orientation.z &&
           a.orientation.w == b.orientation.w;
}

class LayerThroughLoader : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, RecordPath());
        environment_["TARVEX_STANDIN_RUNTIME_YAW_DEG"] = "10";
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
        WriteConfig(e2e::kLoopbackSettings);
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    std::string RecordPath() const { return dir_ + "/runtime-record.txt"; }
    std::string DumpPath() const { return dir_ + "/views.txt"; }

    void WriteConfig(const std::string& text) { e2e::WriteLayerConfig(dir_, text); }

    // Explicit layers from the build's own manifest folder and any others, enabled in the given
    // order (the first is nearest the application).
    void EnableExplicitLayers(const std::string& searchPath, const std::string& names) {
        environment_["XR_API_LAYER_PATH"] = searchPath;
        environment_["XR_ENABLE_API_LAYERS"] = names;
    }

    // Starts the simulator on the default ports and waits for it to serve; its path time 0 is
    // returned (monotonic seconds).
    double StartSimulator(const std::vector<std::string>& switches) {
        return e2e::StartSimulator(simulator_, switches, dir_).value_or(0.0);
    }

    e2e::ChildRun RunDemo(const std::vector<std::string>& options) {
        std::vector<std::string> argv = {TARVEX_DEMO_PATH, "--plot", dir_ + "/views.svg",
                                         "--dump-views", DumpPath()};
        argv.insert(argv.end(), options.begin(), options.end());
        const e2e::ChildRun run =
            e2e::RunChild(argv, environment_, dir_ + "/demo-output.txt", kDemoTimeoutSeconds);
        EXPECT_FALSE(run.timedOut);
        return run;
    }

    // Every pose the application received and every projection view the runtime received is the
    // worked example's.
    void ExpectWorkedExampleThroughout(size_t frames) {
        const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(DumpPath());
        const e2e::Record record = e2e::ReadRecord(RecordPath());
        ASSERT_EQ(received.size(), frames);
        ASSERT_EQ(record.submitted.size(), frames);
        for (size_t i = 0; i < frames; ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            e2e::ExpectPose(received[i].views.left, kWorkedLeft, kWorkedTolerance, "left");
            e2e::ExpectPose(received[i].views.right, kWorkedRight, kWorkedTolerance, "right");
            e2e::ExpectPose(record.submitted[i].left, kWorkedLeft, kWorkedTolerance,
                            "runtime's left");
            e2e::ExpectPose(record.submitted[i].right, kWorkedRight, kWorkedTolerance,
                            "runtime's right");
            EXPECT_EQ(record.endFrameResults[i], "XR_SUCCESS");
            if (HasFailure()) {
                return;  // one frame's report is enough
            }
        }
    }

    std::string dir_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
};

TEST_F(LayerThroughLoader, FixedHeadsetGivesTheWorkedExampleViewsToApplicationAndRuntime) {
    EnableExplicitLayers(TARVEX_LAYER_MANIFEST_DIR, kLayerName);
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunDemo({"--frames", "30"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(kLoadLine), std::string::npos) << run.output;
    ExpectWorkedExampleThroughout(30);
}

TEST_F(LayerThroughLoader, RuntimeReceivesTheTrackedReferenceSpaceOffset) {
    EnableExplicitLayers(TARVEX_LAYER_MANIFEST_DIR, kLayerName);
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunDemo({"--frames", "5"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const e2e::Record record = e2e::ReadRecord(RecordPath());
    ASSERT_EQ(record.referenceSpaces.size(), 1u);
    EXPECT_TRUE(record.referenceSpaces[0].starts_with(
        "reference_space type=XR_REFERENCE_SPACE_TYPE_LOCAL "))
        << record.referenceSpaces[0];
    const auto pose = e2e::ReferenceSpacePose(record.referenceSpaces[0]);
    ASSERT_TRUE(pose) << record.referenceSpaces[0];
    e2e::ExpectPose(*pose, kWorkedSpace, kWorkedTolerance, "reference space offset");
}

// Core validation checks every call on its side of the tracking layer: above it what the
// application does, below it what the layer hands the runtime.
struct AroundLayerCase {
    const e2e::OpenXrSdk& (*sdk)();
    bool validationAbove;
};

void PrintTo(const AroundLayerCase& c, std::ostream* out) {
    *out << c.sdk().name << (c.validationAbove ? " validation above" : " validation below");
}

// Each SDK's loader and core validation, the demo asking for the newest version the loader takes.
class CoreValidationAroundLayer : public LayerThroughLoader,
                                  public ::testing::WithParamInterface<AroundLayerCase> {};

TEST_P(CoreValidationAroundLayer, ReportsNothingOverTwoHundredFrames) {
    const e2e::OpenXrSdk& sdk = GetParam().sdk();
    e2e::ExpectLoaderPresent(sdk);
    e2e::ExpectCoreValidationPresent(sdk);
    ASSERT_FALSE(HasFailure());
    e2e::UseLoaderOf(sdk, environment_, dir_);
    const bool validationAbove = GetParam().validationAbove;
    const std::string order = validationAbove ? std::string(kCoreValidationName) + ":" + kLayerName
                                              : std::string(kLayerName) + ":" + kCoreValidationName;
    EnableExplicitLayers(
        std::string(TARVEX_LAYER_MANIFEST_DIR) + ":" + sdk.coreValidationManifestDir, order);
    const std::string reportFile = dir_ + "/core-validation.txt";
    environment_["XR_CORE_VALIDATION_FILE_NAME"] = reportFile;
    environment_["XR_LOADER_DEBUG"] = "info";
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunDemo({"--frames", "200", "--api-version", sdk.newestApiVersion});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Both in the chain, loaded in the enabled order (the first nearest the application).
    e2e::ExpectCoreValidationSilent(run, validationAbove, reportFile);
    ExpectWorkedExampleThroughout(200);
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
}

INSTANTIATE_TEST_SUITE_P(Order, CoreValidationAroundLayer,
                         ::testing::Values(AroundLayerCase{&e2e::Debian12Sdk, false},
                                           AroundLayerCase{&e2e::Debian12Sdk, true},
                                           AroundLayerCase{&e2e::Sdk1_1_47, false},
                                           AroundLayerCase{&e2e::Sdk1_1_47, true}),
                         [](const ::testing::TestParamInfo<AroundLayerCase>& param) {
                             return std::string(param.param.sdk().name) +
                                    (param.param.validationAbove ? "ValidationAbove"
                                                                 : "ValidationBelow");
                         });

TEST_F(LayerThroughLoader, InstalledAsImplicitLayerItIsActive) {
    e2e::InstallImplicitLayer(dir_, environment_);
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunDemo({"--frames", "30"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(kLoadLine), std::string::npos) << run.output;
    ExpectWorkedExampleThroughout(30);
}

TEST_F(LayerThroughLoader, ImplicitLayerSwitchedOffByItsDisableVariable) {
    e2e::InstallImplicitLayer(dir_, environment_);
    environment_["DISABLE_TARVEX_TRACKING_OVERRIDE"] = "1";
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunDemo({"--frames", "30"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find(kLoadLine), std::string::npos) << run.output;
    const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(DumpPath());
    const e2e::Record record = e2e::ReadRecord(RecordPath());
    ASSERT_EQ(record.referenceSpaces.size(), 1u);
    EXPECT_EQ(record.referenceSpaces[0],
              "reference_space type=XR_REFERENCE_SPACE_TYPE_LOCAL pose=0,0,0,0,0,0,1");
    ASSERT_EQ(received.size(), 30u);
    ASSERT_EQ(record.located.size(), 30u);
    ASSERT_EQ(record.submitted.size(), 30u);
    for (size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(received[i].views.displayTime, record.located[i].displayTime);
        EXPECT_TRUE(SamePose(received[i].views.left, record.located[i].left));
        EXPECT_TRUE(SamePose(received[i].views.right, record.located[i].right));
        EXPECT_TRUE(SamePose(record.submitted[i].left, record.located[i].left));
        EXPECT_TRUE(SamePose(record.submitted[i].right, record.located[i].right));
    }
    // The runtime's own head, not the tracked one: heading +10 degrees.
    e2e::ExpectPose(record.located[0].left,
                    e2e::MakePose(0.25 - 0.035 * std::cos(10 * M_PI / 180), 1.65,
                                  -0.4 + 0.035 * std::sin(10 * M_PI / 180), 0,
                                  std::sin(5 * M_PI / 180), 0, std::cos(5 * M_PI / 180)),
                    1e-6, "runtime's left eye");
}

TEST_F(LayerThroughLoader, WithoutServerReferenceSpaceFailsAfterFiftyWaits) {
    EnableExplicitLayers(TARVEX_LAYER_MANIFEST_DIR, kLayerName);
    const auto start = std::chrono::steady_clock::now();
    const e2e::ChildRun run = RunDemo({"--frames", "30"});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_EQ(CountLines(run.output, "Waiting"), 50u) << run.output;
    EXPECT_EQ(CountLines(run.output, "Unable to find headset position"), 1u) << run.output;
    EXPECT_NE(run.output.find("xrCreateReferenceSpace failed: XR_ERROR_SESSION_NOT_READY (-28)"),
              std::string::npos)
        << run.output;
    // Fifty pauses of at least 100 ms each.
    EXPECT_GE(seconds, 5.0);
    EXPECT_TRUE(e2e::ReadRecord(RecordPath()).referenceSpaces.empty());
}

struct BadConfig {
    const char* name;
    std::string text;  // empty: no file at all
    const char* message;
};

void PrintTo(const BadConfig& config, std::ostream* out) {
    *out << config.name;
}

class LayerWithBadConfig : public LayerThroughLoader,
                           public ::testing::WithParamInterface<BadConfig> {};

TEST_P(LayerWithBadConfig, ReferenceSpaceFailsAtOnceWithTheReason) {
    const BadConfig& config = GetParam();
    std::filesystem::remove(dir_ + "/TarvexOpenXRConfig.ini");
    if (!config.text.empty()) {
        WriteConfig(config.text);
    }
    EnableExplicitLayers(TARVEX_LAYER_MANIFEST_DIR, kLayerName);
    const e2e::ChildRun run = RunDemo({"--frames", "30"});
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_EQ(CountLines(run.output, config.message), 1u) << run.output;
    EXPECT_NE(run.output.find("xrCreateReferenceSpace failed: XR_ERROR_RUNTIME_FAILURE (-2)"),
              std::string::npos)
        << run.output;
    // At once: no wait for a headset, no connection attempt.
    EXPECT_EQ(CountLines(run.output, "Waiting"), 0u) << run.output;
    EXPECT_EQ(run.output.find("Initializing Orvix"), std::string::npos) << run.output;
    EXPECT_TRUE(e2e::ReadRecord(RecordPath()).referenceSpaces.empty());
}

std::string WithoutLine(const std::string& text, const std::string& line) {
    std::string result = text;
    result.erase(result.find(line), line.size());
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayerWithBadConfig,
    ::testing::Values(BadConfig{"MissingIpd", WithoutLine(e2e::kLoopbackSettings, "ipd = 64\n"),
                                "key 'ipd' not found in section 'SETTINGS'."},
                      BadConfig{"NoFile", "", "ini file not found."},
                      BadConfig{"BooleanNotAWord",
                                std::string(e2e::kLoopbackSettings)
                                    .replace(std::string(e2e::kLoopbackSettings).find("false"), 5,
                                             "Maybe"),
                                "'maybe' is not a valid boolean value."}),
    [](const ::testing::TestParamInfo<BadConfig>& param) { return param.param.name; });

// The stream stops for 7 s mid-run: the application goes on with the last pose, the layer's
// watchdog finds the stream stale after 5 s, rediscovers the server, and poses move again once
// frames return.
TEST_F(LayerThroughLoader, RecoversAfterTheStreamPauses) {
    constexpr double kPauseAfter = 4.0;
    constexpr double kPauseFor = 7.0;
    EnableExplicitLayers(TARVEX_LAYER_MANIFEST_DIR, kLayerName);
    const double pathStart = StartSimulator(
        {"--pause-after", std::to_string(kPauseAfter), "--pause-for", std::to_string(kPauseFor)});
    const e2e::ChildRun run = RunDemo({"--seconds", "15"});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    const std::string stale = "Orvix frame timestamp is stale. Restarting discovery.\n";
    const std::string discovered = "Zintor server discovered, auto-connecting...\n";
    const size_t staleAt = run.output.find(stale);
    ASSERT_NE(staleAt, std::string::npos) << run.output;
    EXPECT_NE(run.output.find(discovered, staleAt), std::string::npos) << run.output;

    const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(DumpPath());
    ASSERT_GT(received.size(), 100u);
    std::vector<const e2e::ReceivedViews*> paused;
    std::vector<const e2e::ReceivedViews*> resumed;
    double longestGap = 0.0;
    for (size_t i = 0; i < received.size(); ++i) {
        const double t = received[i].callSeconds - pathStart;
        if (i > 0) {
            longestGap =
                std::max(longestGap, received[i].callSeconds - received[i - 1].callSeconds);
        }
        // Margins for the last frame in flight and for rediscovery after the pause.
        if (t > kPauseAfter + 0.5 && t < kPauseAfter + kPauseFor - 0.1) {
            paused.push_back(&received[i]);
        } else if (t > kPauseAfter + kPauseFor + 2.5) {
            resumed.push_back(&received[i]);
        }
    }
    // The application kept rendering through the pause.
    EXPECT_LT(longestGap, 0.5);
    ASSERT_GT(paused.size(), 100u);
    ASSERT_GT(resumed.size(), 20u);
    for (const e2e::ReceivedViews* views : paused) {
        EXPECT_TRUE(SamePose(views->views.left, paused.front()->views.left));
        EXPECT_TRUE(SamePose(views->views.right, paused.front()->views.right));
    }
    // Walking again: every pose after the resumption differs from the held one, and nearly
    // every frame brings a new pose (the stream is faster than the frames).
    size_t moved = 0;
    for (size_t i = 0; i < resumed.size(); ++i) {
        EXPECT_FALSE(SamePose(resumed[i]->views.left, paused.front()->views.left));
        if (i > 0 && !SamePose(resumed[i]->views.left, resumed[i - 1]->views.left)) {
            ++moved;
        }
    }
    EXPECT_GT(moved, resumed.size() * 3 / 4);
}

}  // namespace
