// The tracking layer in front of Monado, a real OpenXR runtime that none of us wrote, built from
// Debian's source by scripts/build-monado.sh: in-process, its simulated headset, its null
// compositor (it composes nothing, but takes real Vulkan frames and paces them), through the
// system's loader, with the layer installed as users install it. The applications are hello_xr
// and the demo in a Vulkan session.
//
// The simulator serves on a command port the system chooses. The layer's configuration names a
// loopback address nothing serves, so its first connection fails at once and its discovery, which
// follows ORVIX_STANDIN_PORTS, finds the simulator: no fixed port is taken, and these tests run
// beside the others.
//
// A Monado that was not built fails every test here, saying so.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"
#include "tests/e2e/OpenXrSdks.h"
#include "tools/mocap-sim/MocapPath.h"
#include "tools/screen-measure/ScreenMeasure.h"

namespace {

using e2e::kLayerName;
using e2e::kWorkedExamplePose;
using e2e::kWorkedSpace;

constexpr const char* kApiDumpName = "XR_APILAYER_LUNARG_api_dump";
constexpr const char* kPredictionOffLine = "Prediction to display time is off";
constexpr double kRunTimeoutSeconds = 60.0;
// An address of loopback's own that no server binds: the layer goes straight to discovery.
constexpr const char* kUnservedAddress = "127.0.0.3";
// The circle walk's speed, metres per second.
const double kWalkSpeed = 2.0 * std::numbers::pi * kCircleRadiusMetres / kLapSeconds;

struct DemoSummary {
    size_t matched = 0, located = 0;
    double lagMedianMs = 0.0;
    double positionMedianMm = 0.0, rotationMedianDeg = 0.0, aheadMs = 0.0;
    double eyesMm = 0.0;
};

std::optional<DemoSummary> ReadSummary(const std::string& output) {
    static const std::regex lag(
        R"(  lag behind the simulator's path: median (-?[0-9.]+) ms, .* \(([0-9]+) of ([0-9]+) )"
        R"(poses matched)");
    static const std::regex error(
        R"(  error at display time: position median ([0-9.]+) mm, .*; rotation median ([0-9.]+) )"
        R"(deg, .* display (-?[0-9.]+) ms after the call, median\))");
    static const std::regex received(R"(  received \(mean\): .* eyes ([0-9.]+) mm apart)");
    std::smatch lagMatch, errorMatch, receivedMatch;
    if (!std::regex_search(output, lagMatch, lag) ||
        !std::regex_search(output, errorMatch, error) ||
        !std::regex_search(output, receivedMatch, received)) {
        return std::nullopt;
    }
    return DemoSummary{std::stoul(lagMatch[2]),    std::stoul(lagMatch[3]),
                       std::stod(lagMatch[1]),     std::stod(errorMatch[1]),
                       std::stod(errorMatch[2]),   std::stod(errorMatch[3]),
                       std::stod(receivedMatch[1])};
}

// Monado's lines and the layer's share the output and can break into each other mid-line, so
// texts are counted wherever they stand.
size_t CountOccurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class MonadoThroughLoader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(TARVEX_MONADO_RUNTIME_MANIFEST))
            << "Monado is not built (no " << TARVEX_MONADO_RUNTIME_MANIFEST
            << "): run scripts/build-monado.sh, which the test command runs first";
        ASSERT_TRUE(std::filesystem::exists(TARVEX_LAVAPIPE_ICD))
            << "Mesa's software Vulkan driver not found (" << TARVEX_LAVAPIPE_ICD
            << "): install mesa-vulkan-drivers";
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, dir_ + "/unused-record.txt");
        environment_["XR_RUNTIME_JSON"] = TARVEX_MONADO_RUNTIME_MANIFEST;
        // Headless: the null compositor, Mesa's software Vulkan, no configuration of the user's.
        environment_["XRT_COMPOSITOR_NULL"] = "1";
        environment_["VK_ICD_FILENAMES"] = TARVEX_LAVAPIPE_ICD;
        environment_["VK_DRIVER_FILES"] = TARVEX_LAVAPIPE_ICD;
        environment_["XDG_CONFIG_HOME"] = dir_ + "/config-home";
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
        std::string settings = e2e::kLoopbackSettings;
        const std::string served = "serveraddress = 127.0.0.1";
        settings.replace(settings.find(served), served.size(),
                         std::string("serveraddress = ") + kUnservedAddress);
        settings_ = settings;
        e2e::WriteLayerConfig(dir_, settings_);
        e2e::InstallImplicitLayer(dir_, environment_);
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    // Starts the simulator on a port of the system's choosing; the layer finds it there.
    void StartSimulator(const std::vector<std::string>& switches) {
        std::vector<std::string> all = {"--command-port", "0"};
        all.insert(all.end(), switches.begin(), switches.end());
        const auto pathStart = e2e::StartSimulator(simulator_, all, dir_);
        ASSERT_TRUE(pathStart);
        pathStart_ = *pathStart;
        static const std::regex port(R"(commands on 127\.0\.0\.1:([0-9]+);)");
        std::smatch match;
        const std::string output = simulator_->Output();
        ASSERT_TRUE(std::regex_search(output, match, port)) << output;
        environment_["ORVIX_STANDIN_PORTS"] = match[1].str() + ",0";
    }

    // As root, Monado would raise a thread to real-time priority: the runs go without that
    // capability, so that it only warns.
    static std::vector<std::string> WithoutRealtime(std::vector<std::string> argv) {
        if (geteuid() == 0) {
            argv.insert(argv.begin(),
                        {"/usr/bin/setpriv", "--bounding-set=-sys_nice", "--inh-caps=-sys_nice"});
        }
        return argv;
    }

    e2e::ChildRun RunDemo(const std::string& name, const std::vector<std::string>& options) {
        std::vector<std::string> argv = {TARVEX_DEMO_PATH,
                                         "--graphics",
                                         "vulkan",
                                         "--path-start",
                                         std::to_string(pathStart_),
                                         "--plot",
                                         dir_ + "/" + name + ".svg",
                                         "--dump-views",
                                         DumpPath(name)};
        argv.insert(argv.end(), options.begin(), options.end());
        const e2e::ChildRun run = e2e::RunChild(WithoutRealtime(argv), environment_,
                                                dir_ + "/" + name + ".txt", kRunTimeoutSeconds);
        EXPECT_FALSE(run.timedOut) << run.output;
        return run;
    }

    // hello_xr renders until its standard input ends, here after `seconds`.
    e2e::ChildRun RunHelloXr(int seconds) {
        std::vector<std::string> argv = {
            "/bin/sh", "-c", "sleep " + std::to_string(seconds) + " | exec \"$@\"", "sh"};
        for (const std::string& word : WithoutRealtime({helloXr_, "--graphics", "Vulkan2"})) {
            argv.push_back(word);
        }
        const e2e::ChildRun run =
            e2e::RunChild(argv, environment_, dir_ + "/hello_xr-output.txt", kRunTimeoutSeconds);
        EXPECT_FALSE(run.timedOut) << run.output;
        return run;
    }

    std::string DumpPath(const std::string& name) const { return dir_ + "/" + name + "-views.txt"; }

    std::string dir_;
    std::string helloXr_ = TARVEX_HELLO_XR_PATH;
    std::string settings_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
    double pathStart_ = 0.0;
};

// Core validation on either side of the layer, as on the stand-in runtime: below it when the
// layer is installed as users install it (the loader puts implicit layers nearest the
// application), above it when both are enabled explicitly in that order. Each SDK's hello_xr,
// loader and core validation: Debian 12's and the 1.1.47 one.
class MonadoHelloXr : public MonadoThroughLoader,
                      public ::testing::WithParamInterface<e2e::SdkValidationCase> {};

TEST_P(MonadoHelloXr, RendersThroughTheLayerWithValidationSilent) {
    const e2e::OpenXrSdk& sdk = GetParam().sdk();
    const bool validationAbove = GetParam().validationAbove;
    const std::string reportFile = e2e::StackCoreValidation(environment_, dir_, GetParam());
    ASSERT_FALSE(reportFile.empty());
    helloXr_ = sdk.helloXr;
    // One line per frame Monado takes in xrEndFrame.
    environment_["OXR_FRAME_TIMING_SPEW"] = "1";
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunHelloXr(5);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    e2e::ExpectCoreValidationSilent(run, validationAbove, reportFile);
    EXPECT_EQ(run.output.find(kPredictionOffLine), std::string::npos) << run.output;

    // Monado composed frames, and the layer gave every frame the simulator's headset (the worked
    // example's, after the half turn).
    const size_t framesEnded = CountOccurrences(run.output, "in xrEndFrame: End frame at");
    EXPECT_GE(framesEnded, 10u) << run.output;
    EXPECT_GE(CountOccurrences(run.output, "Setting HMD pos to 1, 1.5, 2"), framesEnded)
        << run.output;
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
}

INSTANTIATE_TEST_SUITE_P(Order, MonadoHelloXr, ::testing::ValuesIn(e2e::EverySdkValidationCase()),
                         e2e::SdkValidationCaseName);

// The demo's received head follows the simulator's walk as on the stand-in runtime, and Monado's
// own display times (its XrTime is not the monotonic clock; the demo converts it through
// XR_KHR_convert_timespec_time) give a sane error at display time, which the layer's prediction,
// converting through the same extension of Monado's, cuts.
// Through each SDK's loader, asking for the newest API version it takes (1.1 through 1.1.47's).
class MonadoDemo : public MonadoThroughLoader, public ::testing::WithParamInterface<e2e::SdkOf> {};

TEST_P(MonadoDemo, FollowsTheWalkAndPredictsThroughMonadosClock) {
    const e2e::OpenXrSdk& sdk = GetParam()();
    e2e::ExpectLoaderPresent(sdk);
    ASSERT_FALSE(HasFailure());
    e2e::UseLoaderOf(sdk, environment_, dir_);
    StartSimulator({"--path", "circle"});
    const std::vector<std::string> options = {"--seconds", "4", "--api-version",
                                              sdk.newestApiVersion};
    const e2e::ChildRun off = RunDemo("off", options);
    ASSERT_EQ(off.exitCode, 0) << off.output;
    e2e::WriteLayerConfig(dir_, settings_ + "[OPTIONS]\npredictdisplaytime = true\n");
    const e2e::ChildRun on = RunDemo("on", options);
    ASSERT_EQ(on.exitCode, 0) << on.output;
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);

    const auto offSummary = ReadSummary(off.output);
    const auto onSummary = ReadSummary(on.output);
    ASSERT_TRUE(offSummary) << off.output;
    ASSERT_TRUE(onSummary) << on.output;
    EXPECT_GE(offSummary->located, 20u) << off.output;
    EXPECT_EQ(offSummary->matched, offSummary->located) << off.output;
    EXPECT_LT(offSummary->lagMedianMs, 30.0) << off.output;
    EXPECT_DOUBLE_EQ(offSummary->eyesMm, 64.0) << off.output;

    const double aheadSeconds = offSummary->aheadMs * 1e-3;
    EXPECT_GT(aheadSeconds, 0.0) << off.output;
    EXPECT_LT(aheadSeconds, 0.2) << off.output;
    // Unpredicted, the head is shown where it was up to a 240 Hz frame and its delivery before the
    // call: about the walk over the display delay (a little less where the head turns).
    EXPECT_GT(offSummary->positionMedianMm, 0.5 * kWalkSpeed * aheadSeconds * 1e3) << off.output;
    EXPECT_LT(offSummary->positionMedianMm, kWalkSpeed * (aheadSeconds + 0.030) * 1e3)
        << off.output;

    EXPECT_EQ(on.output.find(kPredictionOffLine), std::string::npos) << on.output;
    EXPECT_LT(onSummary->positionMedianMm, offSummary->positionMedianMm / 2.0) << on.output;
    EXPECT_LT(onSummary->rotationMedianDeg, offSummary->rotationMedianDeg / 2.0) << on.output;
}

INSTANTIATE_TEST_SUITE_P(Loaders, MonadoDemo, ::testing::Values(&e2e::Debian12Sdk, &e2e::Sdk1_1_47),
                         [](const ::testing::TestParamInfo<e2e::SdkOf>& param) {
                             return std::string(param.param().name);
                         });

// Debian's API-dump layer, enabled explicitly, sits below the implicitly installed layer and
// writes down what reaches Monado: the reference space with the layer's offset (which shows where
// it sits), and in every xrEndFrame the views the application received from the layer.
TEST_F(MonadoThroughLoader, MonadoReceivesTheLayersPosesInEndFrame) {
    const std::string apiDumpDir = TARVEX_API_DUMP_MANIFEST_DIR;
    ASSERT_FALSE(apiDumpDir.empty()) << "install openxr-layer-apidump";
    const std::string dumpFile = dir_ + "/api-dump.txt";
    environment_["XR_API_LAYER_PATH"] = apiDumpDir;
    environment_["XR_ENABLE_API_LAYERS"] = kApiDumpName;
    environment_["XR_API_DUMP_EXPORT_TYPE"] = "text";
    environment_["XR_API_DUMP_FILE_NAME"] = dumpFile;
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunDemo("dump", {"--frames", "30"});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    // "<type> <name> = <value>" lines; the dump of one call runs to the next call's first line.
    std::map<std::string, double> values;
    std::vector<std::pair<XrTime, std::array<XrPosef, 2>>> endFrames;
    std::optional<XrPosef> spaceOffset;
    std::string call;
    const auto pose = [&](const std::string& prefix) {
        return e2e::MakePose(values[prefix + ".position.x"], values[prefix + ".position.y"],
                             values[prefix + ".position.z"], values[prefix + ".orientation.x"],
                             values[prefix + ".orientation.y"], values[prefix + ".orientation.z"],
                             values[prefix + ".orientation.w"]);
    };
    const auto finishCall = [&] {
        if (call == "xrCreateReferenceSpace") {
            spaceOffset = pose("createInfo->poseInReferenceSpace");
        } else if (call == "xrEndFrame" && values.count("frameEndInfo->layerCount") != 0 &&
                   values["frameEndInfo->layerCount"] == 1.0) {
            endFrames.push_back({static_cast<XrTime>(values["frameEndInfo->displayTime"]),
                                 {pose("frameEndInfo->layers[0]->views[0].pose"),
                                  pose("frameEndInfo->layers[0]->views[1].pose")}});
        }
        values.clear();
    };
    static const std::regex callLine(R"(^XrResult (xr[A-Za-z0-9]+)$)");
    static const std::regex valueLine(
        R"(^    [^=]* ([A-Za-z0-9_>\[\]\.-]+) = (-?[0-9.e+-]+|0x[0-9a-f]+)$)");
    std::istringstream lines(e2e::ReadFile(dumpFile));
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, match, callLine)) {
            finishCall();
            call = match[1];
        } else if (std::regex_match(line, match, valueLine)) {
            values[match[1]] = std::stod(match[2]);
        }
    }
    finishCall();

    ASSERT_TRUE(spaceOffset) << "no xrCreateReferenceSpace in " << dumpFile;
    e2e::ExpectPose(*spaceOffset, kWorkedSpace, 1e-5, "the reference space Monado was asked for");

    const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(DumpPath("dump"));
    ASSERT_GE(endFrames.size(), 25u) << dumpFile;
    ASSERT_EQ(endFrames.size(), received.size());
    for (size_t i = 0; i < endFrames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i + 1));
        const auto& [displayTime, views] = endFrames[i];
        EXPECT_EQ(displayTime, received[i].views.displayTime);
        e2e::ExpectPose(views[0], received[i].views.left, 1e-6, "left view");
        e2e::ExpectPose(views[1], received[i].views.right, 1e-6, "right view");
        EXPECT_NEAR(views[0].position.y, 1.5, 1e-6);
        const double eyes = std::hypot(views[1].position.x - views[0].position.x,
                                       views[1].position.z - views[0].position.z);
        EXPECT_NEAR(eyes, 0.064, 1e-6);
        if (HasFailure()) {
            return;  // one frame's report is enough
        }
    }
}

// The installed layer's manifest: the loader adds it only with TARVEX_OPENXR_CONFIG set and
// without DISABLE_TARVEX_TRACKING_OVERRIDE. Without it the demo gets Monado's own head, which
// stands nowhere near the worked example's height.
struct VariableCase {
    const char* name;
    bool configSet;
    bool disableSet;
    bool layerActive;
};

void PrintTo(const VariableCase& variables, std::ostream* out) {
    *out << variables.name;
}

class MonadoLayerVariables : public MonadoThroughLoader,
                             public ::testing::WithParamInterface<VariableCase> {};

TEST_P(MonadoLayerVariables, DecideWhetherTheLayerRuns) {
    const VariableCase& variables = GetParam();
    if (!variables.configSet) {
        environment_["TARVEX_OPENXR_CONFIG"] = std::nullopt;
    }
    if (variables.disableSet) {
        environment_["DISABLE_TARVEX_TRACKING_OVERRIDE"] = "1";
    }
    StartSimulator({"--pose", kWorkedExamplePose});
    const e2e::ChildRun run = RunDemo("demo", {"--frames", "15"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("Initializing Orvix") != std::string::npos, variables.layerActive)
        << run.output;
    const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(DumpPath("demo"));
    ASSERT_FALSE(received.empty());
    for (const e2e::ReceivedViews& views : received) {
        EXPECT_EQ(std::abs(views.views.left.position.y - 1.5) < 1e-4, variables.layerActive)
            << "left eye at height " << views.views.left.position.y;
    }
}

INSTANTIATE_TEST_SUITE_P(EnableAndDisable, MonadoLayerVariables,
                         ::testing::Values(VariableCase{"ConfigSet", true, false, true},
                                           VariableCase{"ConfigUnset", false, false, false},
                                           VariableCase{"ConfigSetAndDisabled", true, true, false}),
                         [](const ::testing::TestParamInfo<VariableCase>& param) {
                             return param.param.name;
                         });

// ---- What Monado's compositor shows ----

// Monado's main compositor draws into a window of an Xvfb display as large as the window, which
// the test photographs while hello_xr renders the simulator's orbit through the layer (hello_xr's
// world-fixed cubes stand at the orbit's centre, in the middle of the view). Without
// submitruntimeviews the compositor reprojects each frame by the whole distance between Monado's
// head and the motion-capture head and shows black; with it, the frame as rendered.
class MonadoCompositor : public MonadoThroughLoader, public ::testing::WithParamInterface<bool> {
protected:
    // Starts Xvfb on a display it chooses; returns ":N", or nullopt with a test failure.
    std::optional<std::string> StartDisplay() {
        xvfb_ = std::make_unique<e2e::BackgroundChild>(
            std::vector<std::string>{TARVEX_XVFB_PATH, "-displayfd", "1", "-screen", "0",
                                     "640x360x24"},
            e2e::Environment{}, dir_ + "/xvfb-output.txt");
        static const std::regex number(R"((^|\n)([0-9]+)\n)");
        for (int i = 0; i < 100; ++i) {
            std::smatch match;
            const std::string output = xvfb_->Output();
            if (std::regex_search(output, match, number)) {
                return ":" + match[2].str();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ADD_FAILURE() << "Xvfb did not start:\n" << xvfb_->Output();
        return std::nullopt;
    }

    // A screenshot of the whole display, measured eye by eye.
    std::array<screen_measure::EyeMeasure, 2> Photograph(const std::string& display,
                                                         const std::string& name) {
        const std::string shot = dir_ + "/" + name + ".ppm";
        const e2e::ChildRun run =
            e2e::RunChild({"/bin/sh", "-c",
                           std::string(TARVEX_XWD_PATH) + " -root -display " + display + " | " +
                               TARVEX_XWDTOPNM_PATH + " > " + shot},
                          e2e::Environment{}, dir_ + "/" + name + "-output.txt", 20.0);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        const auto image = screen_measure::ReadPpm(shot);
        if (!image) {
            ADD_FAILURE() << "no screenshot in " << shot << ":\n" << run.output;
            return {};
        }
        const uint32_t half = image->width / 2;
        return {screen_measure::MeasureEye(*image, 0, half),
                screen_measure::MeasureEye(*image, half, half)};
    }

    // Waits until the layer has given views for `frames` frames (its "Position set" line each)
    // and the simulator's path has reached `pathSeconds`, until `until` at the latest.
    bool WaitForFramesAndPath(const e2e::BackgroundChild& child, size_t frames, double pathSeconds,
                              std::chrono::steady_clock::time_point until) const {
        // The simulator's path time is on the monotonic clock, as steady_clock's is here.
        const auto pathNow = [this] {
            return std::chrono::duration<double>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count() -
                   pathStart_;
        };
        while (CountOccurrences(child.Output(), "Position set") < frames ||
               pathNow() < pathSeconds) {
            if (std::chrono::steady_clock::now() >= until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    void TearDown() override {
        if (xvfb_) {
            xvfb_->Stop();
        }
        MonadoThroughLoader::TearDown();
    }

    std::unique_ptr<e2e::BackgroundChild> xvfb_;
};

TEST_P(MonadoCompositor, ShowsTheFrameAsRenderedOnlyWithRuntimeViews) {
    ASSERT_TRUE(std::filesystem::exists(TARVEX_HELLO_XR_PATH))
        << "hello_xr not found (" << TARVEX_HELLO_XR_PATH << "): install libopenxr-utils";
    for (const char* tool : {TARVEX_XVFB_PATH, TARVEX_XWD_PATH, TARVEX_XWDTOPNM_PATH}) {
        ASSERT_TRUE(std::filesystem::exists(tool))
            << tool << " not found: install xvfb, x11-apps and netpbm";
    }
    const bool option = GetParam();
    if (option) {
        e2e::WriteLayerConfig(dir_, settings_ + "[OPTIONS]\nsubmitruntimeviews = true\n");
    }
    const auto display = StartDisplay();
    ASSERT_TRUE(display);
    environment_["XRT_COMPOSITOR_NULL"] = std::nullopt;
    environment_["XRT_COMPOSITOR_FORCE_XCB"] = "1";
    environment_["DISPLAY"] = *display;
    StartSimulator({"--path", "orbit"});

    // hello_xr renders until its standard input ends, here when the test makes the stop file.
    const std::string stopFile = dir_ + "/hello_xr-stop";
    std::vector<std::string> argv = {
        "/bin/sh", "-c", "while [ ! -e \"$0\" ]; do sleep 0.1; done | exec \"$@\"", stopFile};
    for (const std::string& word :
         WithoutRealtime({TARVEX_HELLO_XR_PATH, "--graphics", "Vulkan2"})) {
        argv.push_back(word);
    }
    e2e::BackgroundChild helloXr(argv, environment_, dir_ + "/hello_xr-output.txt");
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::seconds(static_cast<int>(kRunTimeoutSeconds));
    // Taken when hello_xr has rendered, not after set seconds of its own: a loaded machine starts
    // its Vulkan on the software driver slowly. The first shot comes past its start-up (60 frames
    // through the layer), the second well into the orbit (its path at 9 s, where without the
    // option the compositor has long turned the frame out of the window; 300 frames).
    struct Shot {
        size_t frames;
        double pathSeconds;
    };
    std::vector<std::array<screen_measure::EyeMeasure, 2>> shots;
    for (const Shot shot : {Shot{60, 0.0}, Shot{300, 9.0}}) {
        ASSERT_TRUE(WaitForFramesAndPath(helloXr, shot.frames, shot.pathSeconds, until))
            << "hello_xr did not render " << shot.frames << " frames through the layer by "
            << shot.pathSeconds << " s of the path:\n"
            << helloXr.Output();
        shots.push_back(Photograph(*display, "shot-" + std::to_string(shot.frames)));
    }
    std::ofstream(stopFile).put('\n');
    EXPECT_EQ(helloXr.WaitForExit(30.0), 0) << helloXr.Output();
    ASSERT_NE(helloXr.Output().find("Setting HMD pos to"), std::string::npos)
        << "the layer did not run:\n"
        << helloXr.Output();

    for (size_t shot = 0; shot < shots.size(); ++shot) {
        for (size_t eye = 0; eye < 2; ++eye) {
            SCOPED_TRACE("screenshot " + std::to_string(shot + 1) + ", eye " + std::to_string(eye));
            const screen_measure::EyeMeasure& measure = shots[shot][eye];
            if (option) {
                EXPECT_GT(measure.shownShare, 0.95);
                ASSERT_TRUE(measure.centroidX) << "no scene drawn";
                EXPECT_LT(std::abs(*measure.centroidX), 0.05);
                EXPECT_LT(std::abs(*measure.centroidY), 0.05);
            } else if (shot == 1) {
                EXPECT_LT(measure.shownShare, 0.05)
                    << "the compositor's black, as without the option";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RuntimeViews, MonadoCompositor, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "On" : "Off";
                         });

}  // namespace
