// The layer's [OPTIONS] through the system's loader, in front of the stand-in runtime, fed by the
// simulator over loopback: prediction to the display time, tracked VIEW spaces, and tracking loss
// in the tracked bits. The applications are the demo and the space probe (SpaceProbeMain.cpp),
// which also locates a VIEW space with xrLocateSpace, and in a batch with xrLocateSpaces or
// xrLocateSpacesKHR.
//
// The simulator serves on the fixed motion-capture ports, as for users: the layer's first
// connection goes to the fixed command port whatever ORVIX_STANDIN_PORTS says (only reconnections
// after a discovery follow it), and a simulator elsewhere would cost each run a failed connection
// and a discovery whose lines fall between the application's. So these tests take the
// "mocap_ports" lock.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <set>
#include <sstream>

#include "standins/runtime/PoseMath.h"
#include "tests/common/WalkDating.h"
#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"
#include "tests/e2e/OpenXrSdks.h"

namespace {

using e2e::kLayerName;
using e2e::kWorkedExamplePose;
using e2e::kWorkedSpace;

using walk_dating::DatedHead;
using walk_dating::FitTimeShift;
using walk_dating::HeadingAgainstBearing;
using walk_dating::TimeShift;

constexpr const char* kPredictionOffLine =
    "Prediction to display time is off: the runtime does not offer "
    "XR_KHR_convert_timespec_time.";
constexpr double kRunTimeoutSeconds = 60.0;

// In the worked example (e2e::kWorkedExamplePose), the tracked head lies midway between the eyes
// the layer gives, turned by +10 degrees.
const XrPosef kWorkedHead = e2e::MakePose(0.2556523, 1.5, 2.2214053, 0, 0.0871557, 0, 0.9961947);
// The runtime's own head with its heading of +10 degrees.
const XrPosef kRuntimeHead =
    e2e::MakePose(0.25, 1.65, -0.4, 0, std::sin(5 * M_PI / 180), 0, std::cos(5 * M_PI / 180));
constexpr double kPoseTolerance = 1e-5;

constexpr XrViewStateFlags kViewTracked =
    XR_VIEW_STATE_POSITION_TRACKED_BIT | XR_VIEW_STATE_ORIENTATION_TRACKED_BIT;
constexpr XrViewStateFlags kViewValid =
    XR_VIEW_STATE_POSITION_VALID_BIT | XR_VIEW_STATE_ORIENTATION_VALID_BIT;
constexpr XrSpaceLocationFlags kSpaceTracked =
    XR_SPACE_LOCATION_POSITION_TRACKED_BIT | XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT;
constexpr XrSpaceLocationFlags kSpaceValid =
    XR_SPACE_LOCATION_POSITION_VALID_BIT | XR_SPACE_LOCATION_ORIENTATION_VALID_BIT;
constexpr XrSpaceVelocityFlags kVelocityValid =
    XR_SPACE_VELOCITY_LINEAR_VALID_BIT | XR_SPACE_VELOCITY_ANGULAR_VALID_BIT;

// ---- Pose arithmetic for expected values ----

using standin::Compose;
using standin::Inverse;

// The head between two eyes: their common orientation, the midpoint of their positions.
XrPosef EyeCentre(const XrPosef& left, const XrPosef& right) {
    return {left.orientation,
            {(left.position.x + right.position.x) / 2, (left.position.y + right.position.y) / 2,
             (left.position.z + right.position.z) / 2}};
}

// A run's output with the lines whose number or place depends on timing set aside: the frame
// thread writes "Setting HMD pos to ..." for every motion-capture frame that arrives while the run
// lasts, and they fall between the application thread's "Position set" lines as the threads
// happen to run; "Waiting" appears once per 100 ms that the first frame takes to come. The rest
// comes in a fixed order.
struct OutputParts {
    std::string ordered;
    size_t positionSetLines = 0;
    std::set<std::string> headsetLines;  // distinct "Setting HMD pos to" lines
};

OutputParts SplitOutput(const std::string& output) {
    OutputParts parts;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line == "Position set") {
            ++parts.positionSetLines;
        } else if (line.starts_with("Setting HMD pos to ")) {
            parts.headsetLines.insert(line);
        } else if (line != "Waiting") {
            parts.ordered += line + "\n";
        }
    }
    return parts;
}

size_t CountLines(const std::string& text, const std::string& line) {
    size_t count = 0;
    std::istringstream lines(text);
    for (std::string each; std::getline(lines, each);) {
        count += each == line ? 1 : 0;
    }
    return count;
}

// ---- The space probe's output ----

struct ProbeFrame {
    double callSeconds = 0.0;
    XrTime displayTime = 0;
    XrViewStateFlags viewFlags = 0;
    XrPosef left{}, right{};
    XrPosef viewInLocal{};
    XrSpaceLocationFlags viewInLocalFlags = 0;
    XrPosef localInView{};
    XrSpaceLocationFlags localInViewFlags = 0;
    XrSpaceVelocityFlags viewInLocalVelocity = 0;
    // With --locate-spaces: the same two locations from one batch each.
    bool batch = false;
    XrPosef batchViewInLocal{}, batchLocalInView{};
    XrSpaceLocationFlags batchViewInLocalFlags = 0, batchLocalInViewFlags = 0;
    XrSpaceVelocityFlags batchViewInLocalVelocity = 0, batchLocalInViewVelocity = 0;
};

bool ReadPose(const std::string& line, const std::string& name, XrPosef* pose) {
    const size_t at = line.find(" " + name + "=");
    float n[7];
    if (at == std::string::npos ||
        std::sscanf(line.c_str() + at + name.size() + 2, "%f,%f,%f,%f,%f,%f,%f", &n[0], &n[1],
                    &n[2], &n[3], &n[4], &n[5], &n[6]) != 7) {
        return false;
    }
    *pose = e2e::MakePose(n[0], n[1], n[2], n[3], n[4], n[5], n[6]);
    return true;
}

bool ReadFlags(const std::string& line, const std::string& name, uint64_t* flags) {
    const size_t at = line.find(" " + name + "=");
    unsigned long long value = 0;
    if (at == std::string::npos ||
        std::sscanf(line.c_str() + at + name.size() + 2, "%llu", &value) != 1) {
        return false;
    }
    *flags = value;
    return true;
}

std::vector<ProbeFrame> ReadProbeFrames(const std::string& path) {
    std::vector<ProbeFrame> frames;
    std::istringstream lines(e2e::ReadFile(path));
    for (std::string line; std::getline(lines, line);) {
        ProbeFrame frame;
        long long display = 0;
        const bool read = std::sscanf(line.c_str(), "frame call=%lf display=%lld",
                                      &frame.callSeconds, &display) == 2 &&
                          ReadFlags(line, "view_flags", &frame.viewFlags) &&
                          ReadPose(line, "left", &frame.left) &&
                          ReadPose(line, "right", &frame.right) &&
                          ReadPose(line, "view_in_local", &frame.viewInLocal) &&
                          ReadFlags(line, "view_in_local_flags", &frame.viewInLocalFlags) &&
                          ReadPose(line, "local_in_view", &frame.localInView) &&
                          ReadFlags(line, "local_in_view_flags", &frame.localInViewFlags) &&
                          ReadFlags(line, "view_in_local_velocity", &frame.viewInLocalVelocity);
        frame.batch = line.find(" batch_") != std::string::npos;
        const bool batchRead =
            !frame.batch ||
            (ReadPose(line, "batch_view_in_local", &frame.batchViewInLocal) &&
             ReadFlags(line, "batch_view_in_local_flags", &frame.batchViewInLocalFlags) &&
             ReadFlags(line, "batch_view_in_local_velocity", &frame.batchViewInLocalVelocity) &&
             ReadPose(line, "batch_local_in_view", &frame.batchLocalInView) &&
             ReadFlags(line, "batch_local_in_view_flags", &frame.batchLocalInViewFlags) &&
             ReadFlags(line, "batch_local_in_view_velocity", &frame.batchLocalInViewVelocity));
        if (!read || !batchRead) {
            ADD_FAILURE() << "unreadable probe line: " << line;
            continue;
        }
        frame.displayTime = display;
        frames.push_back(frame);
    }
    return frames;
}

// ---- The fixture ----

class LayerOptionsThroughLoader : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, RecordPath());
        environment_["TARVEX_STANDIN_RUNTIME_YAW_DEG"] = "10";
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
        environment_["XR_API_LAYER_PATH"] = TARVEX_LAYER_MANIFEST_DIR;
        environment_["XR_ENABLE_API_LAYERS"] = kLayerName;
        WriteConfig("");
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    std::string RecordPath() const { return dir_ + "/runtime-record.txt"; }
    std::string DumpPath() const { return dir_ + "/views.txt"; }
    std::string ProbePath() const { return dir_ + "/probe.txt"; }

    // The nine settings, then `options` (a whole [OPTIONS] section, or nothing).
    void WriteConfig(const std::string& options) {
        e2e::WriteLayerConfig(dir_, e2e::kLoopbackSettings + options);
    }

    // Starts the simulator and waits for it to serve; keeps its path time 0 (monotonic seconds).
    void StartSimulator(const std::vector<std::string>& switches) {
        const auto pathStart = e2e::StartSimulator(simulator_, switches, dir_);
        ASSERT_TRUE(pathStart);
        pathStart_ = *pathStart;
    }

    e2e::ChildRun Run(std::vector<std::string> argv, const std::string& outputName) {
        const e2e::ChildRun run =
            e2e::RunChild(argv, environment_, dir_ + "/" + outputName, kRunTimeoutSeconds);
        EXPECT_FALSE(run.timedOut) << run.output;
        return run;
    }

    e2e::ChildRun RunDemo(const std::vector<std::string>& options,
                          const std::string& outputName = "demo-output.txt") {
        std::vector<std::string> argv = {TARVEX_DEMO_PATH, "--plot", dir_ + "/views.svg",
                                         "--dump-views", DumpPath()};
        argv.insert(argv.end(), options.begin(), options.end());
        return Run(argv, outputName);
    }

    e2e::ChildRun RunProbe(const std::vector<std::string>& options) {
        std::vector<std::string> argv = {TARVEX_SPACE_PROBE_PATH, "--out", ProbePath()};
        argv.insert(argv.end(), options.begin(), options.end());
        return Run(argv, "probe-output.txt");
    }

    std::string dir_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
    double pathStart_ = 0.0;
};

// ---- Without the section, or with every option off, nothing changes ----

struct UnchangedCase {
    const char* name;
    const char* options;   // the [OPTIONS] section written after the settings
    bool runtimeConverts;  // the runtime offers XR_KHR_convert_timespec_time
};

void PrintTo(const UnchangedCase& unchangedCase, std::ostream* out) {
    *out << unchangedCase.name;
}

class OptionsOff : public LayerOptionsThroughLoader,
                   public ::testing::WithParamInterface<UnchangedCase> {};

// On a fixed headset the demo's output is the same from run to run but for how many frames the
// simulator sent while it ran, so a layer that behaved any differently would show in it.
TEST_P(OptionsOff, DemoOutputIsByteForByteThatOfARunWithoutTheSection) {
    ASSERT_NO_FATAL_FAILURE(StartSimulator({"--pose", kWorkedExamplePose}));
    const e2e::ChildRun baseline = RunDemo({"--frames", "30"}, "baseline-output.txt");
    ASSERT_EQ(baseline.exitCode, 0) << baseline.output;
    const std::vector<e2e::ReceivedViews> baselineViews = e2e::ReadViewDump(DumpPath());

    WriteConfig(GetParam().options);
    if (!GetParam().runtimeConverts) {
        environment_["TARVEX_STANDIN_NO_TIME_CONVERSION"] = "1";
    }
    const e2e::ChildRun run = RunDemo({"--frames", "30"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const OutputParts parts = SplitOutput(run.output);
    const OutputParts baselineParts = SplitOutput(baseline.output);
    EXPECT_EQ(parts.ordered, baselineParts.ordered);
    EXPECT_EQ(parts.positionSetLines, baselineParts.positionSetLines);
    EXPECT_EQ(parts.headsetLines, baselineParts.headsetLines);
    const std::vector<e2e::ReceivedViews> views = e2e::ReadViewDump(DumpPath());
    ASSERT_EQ(views.size(), baselineViews.size());
    for (size_t i = 0; i < views.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        e2e::ExpectPose(views[i].views.left, baselineViews[i].views.left, 0.0, "left");
        e2e::ExpectPose(views[i].views.right, baselineViews[i].views.right, 0.0, "right");
        if (HasFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsOff,
    ::testing::Values(UnchangedCase{"NoSectionRuntimeWithoutConversion", "", false},
                      UnchangedCase{"EveryOptionOff",
                                    "[OPTIONS]\n"
                                    "predictdisplaytime = false\n"
                                    "maxpredictionms = 80\n"
                                    "trackedviewspace = false\n"
                                    "trackinglossms = 0\n",
                                    true},
                      UnchangedCase{"EmptySection", "[OPTIONS]\n", true}),
    [](const ::testing::TestParamInfo<UnchangedCase>& param) { return param.param.name; });

// ---- Prediction to the display time ----

// The runtime shows each frame this long after it starts, and the demo locates its views at the
// start: a predicted head is this far ahead of an unpredicted one.
constexpr double kDisplayDelayMs = 60.0;

struct PredictionCase {
    const char* name;
    const char* options;
    bool runtimeConverts;
    // Where the received heads may lie on the path, in seconds from the xrLocateViews call, or
    // from the display time when `fromDisplayTime`.
    bool fromDisplayTime;
    double earliest;
    double latest;
    size_t predictionOffLines;
    // The simulator's --latency-ms: how old its frames are when sent.
    const char* latencyMs = "0";
    // With latency, a shorter display delay keeps the whole reach, and so the line's miss of the
    // head turn's curvature, as without it.
    double displayDelayMs = kDisplayDelayMs;
};

void PrintTo(const PredictionCase& predictionCase, std::ostream* out) {
    *out << predictionCase.name;
}

class Prediction : public LayerOptionsThroughLoader,
                   public ::testing::WithParamInterface<PredictionCase> {};

// One located head pair as an application received it.
struct LocatedViews {
    double callSeconds;
    XrTime displayTime;
    XrPosef left;
    XrPosef right;
};

// Where on the walk the received heads lie, from their calls; and how far the display time lay
// ahead of the calls, on average.
struct DatedRun {
    TimeShift shift;
    double displayAhead = 0.0;
};

DatedRun DateHeads(const std::vector<LocatedViews>& located, double pathStart) {
    std::vector<DatedHead> heads;
    DatedRun dated;
    for (const LocatedViews& views : located) {
        const XrPosef head = EyeCentre(views.left, views.right);
        heads.push_back({views.callSeconds - pathStart,
                         HeadingAgainstBearing(head.position.x, head.position.z, head.orientation.y,
                                               head.orientation.w)});
        dated.displayAhead += static_cast<double>(views.displayTime) * 1e-9 - views.callSeconds;
    }
    dated.displayAhead /= static_cast<double>(located.size());
    dated.shift = FitTimeShift(heads, -0.1, 0.15, 0.0005);
    return dated;
}

// The applications call xrLocateViews right after xrWaitFrame, so the display time lies the
// runtime's delay ahead of the call. At the shift found the heads follow the path closely: a
// straight line through the newest frames misses the head turn's curvature by a few tenths of a
// degree 60 ms ahead, and a shift 10 ms off would leave about 0.3 degrees.
void ExpectDatedRun(const DatedRun& dated, const char* name,
                    double displayDelayMs = kDisplayDelayMs) {
    EXPECT_NEAR(dated.displayAhead, displayDelayMs * 1e-3, 0.005);
    EXPECT_LT(dated.shift.rmsRadians, 0.3 * std::numbers::pi / 180.0);
    std::printf("%s: heads at call %+.1f ms on the path (rms %.3f deg); display %.1f ms ahead\n",
                name, dated.shift.seconds * 1e3, dated.shift.rmsRadians * 180.0 / std::numbers::pi,
                dated.displayAhead * 1e3);
}

TEST_P(Prediction, ReceivedHeadsLieOnThePathWhereExpected) {
    const PredictionCase& predictionCase = GetParam();
    WriteConfig(predictionCase.options);
    environment_["TARVEX_STANDIN_DISPLAY_DELAY_MS"] = std::to_string(predictionCase.displayDelayMs);
    if (!predictionCase.runtimeConverts) {
        environment_["TARVEX_STANDIN_NO_TIME_CONVERSION"] = "1";
    }
    ASSERT_NO_FATAL_FAILURE(
        StartSimulator({"--path", "circle", "--latency-ms", predictionCase.latencyMs}));
    // One period of the head turn, which dates the heads.
    const e2e::ChildRun run = RunDemo({"--seconds", "4"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(CountLines(run.output, kPredictionOffLine), predictionCase.predictionOffLines)
        << run.output;

    const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(DumpPath());
    ASSERT_GT(received.size(), 200u);
    std::vector<LocatedViews> located;
    for (const e2e::ReceivedViews& views : received) {
        located.push_back(
            {views.callSeconds, views.views.displayTime, views.views.left, views.views.right});
    }
    const DatedRun dated = DateHeads(located, pathStart_);
    ExpectDatedRun(dated, predictionCase.name, predictionCase.displayDelayMs);
    const double origin = predictionCase.fromDisplayTime ? dated.displayAhead : 0.0;
    EXPECT_GE(dated.shift.seconds, origin + predictionCase.earliest);
    EXPECT_LE(dated.shift.seconds, origin + predictionCase.latest);
}

// Unpredicted, a head is the newest frame's: captured on average half a frame period (240 Hz)
// before the call, more with delivery on a loaded machine, and the stream's latency more.
// Predicted, it is at the display time whatever the frame's age, latency included (the prediction
// reaches that much further), but for the client's clock offset, which may overstate a frame's age
// by up to the connection's round trip: the layer then reaches that much further. Clamped, it lies
// the maximum past the newest frame, less that overstatement.
INSTANTIATE_TEST_SUITE_P(
    Cases, Prediction,
    ::testing::Values(PredictionCase{"NoOptions", "", true, false, -0.015, 0.001, 0},
                      PredictionCase{"ToTheDisplayTime",
                                     "[OPTIONS]\npredictdisplaytime = true\n"
                                     "maxpredictionms = 100\n",
                                     true, true, -0.004, 0.012, 0},
                      PredictionCase{"ClampedToTheMaximum",
                                     "[OPTIONS]\npredictdisplaytime = true\n"
                                     "maxpredictionms = 20\n",
                                     true, false, 0.003, 0.021, 0},
                      PredictionCase{"RuntimeWithoutConversion",
                                     "[OPTIONS]\npredictdisplaytime = true\n"
                                     "maxpredictionms = 100\n",
                                     false, false, -0.015, 0.001, 1},
                      PredictionCase{"NoOptionsWithLatency", "", true, false, -0.045, -0.029, 0,
                                     "30"},
                      PredictionCase{"ToTheDisplayTimeWithLatency",
                                     "[OPTIONS]\npredictdisplaytime = true\n"
                                     "maxpredictionms = 100\n",
                                     true, true, -0.004, 0.012, 0, "30", 30.0}),
    [](const ::testing::TestParamInfo<PredictionCase>& param) { return param.param.name; });

// An application that enables the time conversion itself: the layer does not ask for it twice,
// and predicts with it.
TEST_F(LayerOptionsThroughLoader, PredictionWhenTheApplicationEnablesTheConversionItself) {
    WriteConfig("[OPTIONS]\npredictdisplaytime = true\nmaxpredictionms = 100\n");
    environment_["TARVEX_STANDIN_DISPLAY_DELAY_MS"] = std::to_string(kDisplayDelayMs);
    ASSERT_NO_FATAL_FAILURE(StartSimulator({"--path", "circle"}));
    const e2e::ChildRun run = RunProbe({"--seconds", "4", "--time-conversion"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(CountLines(run.output, kPredictionOffLine), 0u) << run.output;
    const std::vector<ProbeFrame> frames = ReadProbeFrames(ProbePath());
    ASSERT_GT(frames.size(), 200u);
    std::vector<LocatedViews> located;
    for (const ProbeFrame& frame : frames) {
        located.push_back({frame.callSeconds, frame.displayTime, frame.left, frame.right});
    }
    const DatedRun dated = DateHeads(located, pathStart_);
    ExpectDatedRun(dated, "ApplicationEnablesTheConversion");
    EXPECT_GE(dated.shift.seconds, dated.displayAhead - 0.004);
    EXPECT_LE(dated.shift.seconds, dated.displayAhead + 0.012);
}

// ---- One head: the VIEW space located with xrLocateSpace ----

class TrackedViewSpace : public LayerOptionsThroughLoader,
                         public ::testing::WithParamInterface<bool> {};

TEST_P(TrackedViewSpace, LocatedViewSpaceIsTheHeadOfTheViewsOnlyWithTheOption) {
    const bool option = GetParam();
    WriteConfig(option ? "[OPTIONS]\ntrackedviewspace = true\n" : "");
    ASSERT_NO_FATAL_FAILURE(StartSimulator({"--pose", kWorkedExamplePose}));
    const e2e::ChildRun run = RunProbe({"--frames", "30"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<ProbeFrame> frames = ReadProbeFrames(ProbePath());
    ASSERT_EQ(frames.size(), 30u);

    // Both spaces got the layer's offset, as without the option.
    const e2e::Record record = e2e::ReadRecord(RecordPath());
    ASSERT_EQ(record.referenceSpaces.size(), 2u);
    for (const std::string& line : record.referenceSpaces) {
        const auto offset = e2e::ReferenceSpacePose(line);
        ASSERT_TRUE(offset) << line;
        e2e::ExpectPose(*offset, kWorkedSpace, kPoseTolerance, line);
    }
    // Without the option, the runtime's answer: its own head with the offsets of both spaces.
    const XrPosef runtimeAnswer =
        Compose(Inverse(kWorkedSpace), Compose(kRuntimeHead, kWorkedSpace));
    const XrPosef expected = option ? kWorkedHead : runtimeAnswer;
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const ProbeFrame& frame = frames[i];
        e2e::ExpectPose(EyeCentre(frame.left, frame.right), kWorkedHead, kPoseTolerance,
                        "the views' head");
        e2e::ExpectPose(frame.viewInLocal, expected, kPoseTolerance, "VIEW in LOCAL");
        e2e::ExpectPose(frame.localInView, Inverse(expected), kPoseTolerance, "LOCAL in VIEW");
        EXPECT_EQ(frame.viewInLocalFlags, kSpaceValid | kSpaceTracked);
        EXPECT_EQ(frame.localInViewFlags, kSpaceValid | kSpaceTracked);
        if (HasFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Option, TrackedViewSpace, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "On" : "Off";
                         });

// ---- One head in a batch: xrLocateSpaces (OpenXR 1.1) and xrLocateSpacesKHR ----

struct BatchCase {
    const char* name;
    const e2e::OpenXrSdk& (*sdk)();
    const char* apiVersion;
    const char* function;  // the probe's --locate-spaces
    bool option;
};

void PrintTo(const BatchCase& batchCase, std::ostream* out) {
    *out << batchCase.name;
}

class TrackedViewSpaceInABatch : public LayerOptionsThroughLoader,
                                 public ::testing::WithParamInterface<BatchCase> {};

// The batch gives what xrLocateSpace gives, in both directions: with the option the tracked head,
// its velocities withdrawn (they would be the runtime's head's); without it the runtime's answer
// with the runtime's velocities.
TEST_P(TrackedViewSpaceInABatch, BatchGivesTheHeadThatLocatingOneSpaceGives) {
    const BatchCase& batchCase = GetParam();
    const e2e::OpenXrSdk& sdk = batchCase.sdk();
    e2e::ExpectLoaderPresent(sdk);
    ASSERT_FALSE(HasFailure());
    e2e::UseLoaderOf(sdk, environment_, dir_);
    WriteConfig(batchCase.option ? "[OPTIONS]\ntrackedviewspace = true\n" : "");
    ASSERT_NO_FATAL_FAILURE(StartSimulator({"--pose", kWorkedExamplePose}));
    const e2e::ChildRun run = RunProbe({"--frames", "30", "--api-version", batchCase.apiVersion,
                                        "--locate-spaces", batchCase.function});
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<ProbeFrame> frames = ReadProbeFrames(ProbePath());
    ASSERT_EQ(frames.size(), 30u);

    const XrPosef runtimeAnswer =
        Compose(Inverse(kWorkedSpace), Compose(kRuntimeHead, kWorkedSpace));
    const XrPosef expected = batchCase.option ? kWorkedHead : runtimeAnswer;
    const XrSpaceVelocityFlags velocity = batchCase.option ? 0 : kVelocityValid;
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const ProbeFrame& frame = frames[i];
        ASSERT_TRUE(frame.batch);
        e2e::ExpectPose(frame.batchViewInLocal, expected, kPoseTolerance, "VIEW in LOCAL");
        e2e::ExpectPose(frame.batchLocalInView, Inverse(expected), kPoseTolerance, "LOCAL in VIEW");
        e2e::ExpectPose(frame.batchViewInLocal, frame.viewInLocal, 0.0, "as xrLocateSpace");
        e2e::ExpectPose(frame.batchLocalInView, frame.localInView, 0.0, "as xrLocateSpace");
        EXPECT_EQ(frame.batchViewInLocalFlags, kSpaceValid | kSpaceTracked);
        EXPECT_EQ(frame.batchLocalInViewFlags, kSpaceValid | kSpaceTracked);
        EXPECT_EQ(frame.viewInLocalVelocity, velocity);
        EXPECT_EQ(frame.batchViewInLocalVelocity, velocity);
        EXPECT_EQ(frame.batchLocalInViewVelocity, velocity);
        if (HasFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackedViewSpaceInABatch,
    ::testing::Values(
        BatchCase{"CoreThroughSdk1_1_47", &e2e::Sdk1_1_47, "1.1", "core", true},
        BatchCase{"CoreThroughSdk1_1_47OptionOff", &e2e::Sdk1_1_47, "1.1", "core", false},
        BatchCase{"KhrThroughSdk1_1_47", &e2e::Sdk1_1_47, "1.0", "khr", true},
        BatchCase{"KhrThroughDebian12", &e2e::Debian12Sdk, "1.0", "khr", true},
        BatchCase{"KhrThroughDebian12OptionOff", &e2e::Debian12Sdk, "1.0", "khr", false}),
    [](const ::testing::TestParamInfo<BatchCase>& param) { return param.param.name; });

// An application that asked for 1.0 finds no xrLocateSpaces, with the option as without it: the
// layer hands on the runtime's answer instead of a hook with nothing behind it.
TEST_F(LayerOptionsThroughLoader, NoXrLocateSpacesForA1_0Application) {
    const e2e::OpenXrSdk& sdk = e2e::Sdk1_1_47();
    e2e::ExpectLoaderPresent(sdk);
    ASSERT_FALSE(HasFailure());
    e2e::UseLoaderOf(sdk, environment_, dir_);
    WriteConfig("[OPTIONS]\ntrackedviewspace = true\n");
    ASSERT_NO_FATAL_FAILURE(StartSimulator({"--pose", kWorkedExamplePose}));
    const e2e::ChildRun run =
        RunProbe({"--frames", "5", "--api-version", "1.0", "--locate-spaces", "core"});
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find("tarvex-e2e-space-probe: xrLocateSpaces failed: " +
                              std::to_string(XR_ERROR_FUNCTION_UNSUPPORTED)),
              std::string::npos)
        << run.output;
}

// ---- Tracking loss while the stream pauses ----

// Only end-to-end tests catch faults in how the loss is found, these and the demo's count of
// frames without the tracked bits (DemoMeasuresThroughLoaderTest.cpp): the time of the newest
// headset frame as the frame intake records it, and the loss flag as the views and the VIEW space
// carry it. The unit tests set that time by hand. Keep every case here.

constexpr double kPauseAfter = 2.0;
constexpr double kPauseFor = 2.0;

struct LossCase {
    const char* name;
    const char* options;
    bool flagsCleared;  // during the pause
    bool spaceFollows;  // the VIEW space is the layer's, so its location loses the bits too
};

void PrintTo(const LossCase& lossCase, std::ostream* out) {
    *out << lossCase.name;
}

class TrackingLoss : public LayerOptionsThroughLoader,
                     public ::testing::WithParamInterface<LossCase> {};

TEST_P(TrackingLoss, TrackedBitsFollowTheStream) {
    const LossCase& lossCase = GetParam();
    WriteConfig(lossCase.options);
    ASSERT_NO_FATAL_FAILURE(
        StartSimulator({"--path", "circle", "--pause-after", std::to_string(kPauseAfter),
                        "--pause-for", std::to_string(kPauseFor)}));
    const e2e::ChildRun run = RunProbe({"--seconds", "5.5"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<ProbeFrame> frames = ReadProbeFrames(ProbePath());
    ASSERT_GT(frames.size(), 300u);

    // Margins: the threshold of 100 ms plus a frame in flight at the start of the pause, the
    // first frames after it.
    std::vector<const ProbeFrame*> before, during, after;
    for (const ProbeFrame& frame : frames) {
        const double t = frame.callSeconds - pathStart_;
        if (t < kPauseAfter - 0.05) {
            before.push_back(&frame);
        } else if (t > kPauseAfter + 0.2 && t < kPauseAfter + kPauseFor - 0.05) {
            during.push_back(&frame);
        } else if (t > kPauseAfter + kPauseFor + 0.2) {
            after.push_back(&frame);
        }
    }
    ASSERT_GT(before.size(), 50u);
    ASSERT_GT(during.size(), 100u);
    ASSERT_GT(after.size(), 50u);
    const auto expectTracked = [&](const std::vector<const ProbeFrame*>& part, bool tracked,
                                   const char* name) {
        SCOPED_TRACE(name);
        const XrViewStateFlags view = kViewValid | (tracked ? kViewTracked : 0);
        const XrSpaceLocationFlags space =
            kSpaceValid | (tracked || !lossCase.spaceFollows ? kSpaceTracked : 0);
        for (const ProbeFrame* frame : part) {
            EXPECT_EQ(frame->viewFlags, view) << "call at " << frame->callSeconds;
            EXPECT_EQ(frame->viewInLocalFlags, space) << "call at " << frame->callSeconds;
            EXPECT_EQ(frame->localInViewFlags, space) << "call at " << frame->callSeconds;
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    };
    expectTracked(before, true, "before the pause");
    expectTracked(during, !lossCase.flagsCleared, "during the pause");
    expectTracked(after, true, "after the pause");
    // The last pose is kept through the pause, and the head walks again after it.
    for (const ProbeFrame* frame : during) {
        e2e::ExpectPose(frame->left, during.front()->left, 0.0, "held left eye");
    }
    EXPECT_GT(std::abs(after.back()->left.position.x - during.front()->left.position.x) +
                  std::abs(after.back()->left.position.z - during.front()->left.position.z),
              0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackingLoss,
    ::testing::Values(LossCase{"NoOptions", "", false, false},
                      LossCase{"LossAfter100Ms", "[OPTIONS]\ntrackinglossms = 100\n", true, false},
                      LossCase{"LossWithTrackedViewSpace",
                               "[OPTIONS]\ntrackinglossms = 100\ntrackedviewspace = true\n", true,
                               true}),
    [](const ::testing::TestParamInfo<LossCase>& param) { return param.param.name; });

// ---- The compositor gets the runtime's own views ----

class RuntimeViews : public LayerOptionsThroughLoader,
                     public ::testing::WithParamInterface<bool> {};

// With submitruntimeviews the runtime receives in xrEndFrame the views it locates itself for the
// frame (one more xrLocateViews per frame, the layer's), while the application still gets the
// tracked ones; without it, the tracked views, as always.
TEST_P(RuntimeViews, RuntimeReceivesItsOwnViewsOnlyWithTheOption) {
    const bool option = GetParam();
    WriteConfig(option ? "[OPTIONS]\nsubmitruntimeviews = true\n" : "");
    ASSERT_NO_FATAL_FAILURE(StartSimulator({"--pose", kWorkedExamplePose}));
    constexpr size_t kFrames = 30;
    const e2e::ChildRun run = RunDemo({"--frames", std::to_string(kFrames)});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    for (const e2e::ReceivedViews& received : e2e::ReadViewDump(DumpPath())) {
        e2e::ExpectPose(received.views.left, e2e::kWorkedLeft, kPoseTolerance, "received left");
        e2e::ExpectPose(received.views.right, e2e::kWorkedRight, kPoseTolerance, "received right");
    }
    const e2e::Record record = e2e::ReadRecord(RecordPath());
    ASSERT_EQ(record.submitted.size(), kFrames);
    ASSERT_EQ(record.located.size(), option ? 2 * kFrames : kFrames);
    // The stand-in's own views stand still: its head with its heading, its own eye distance.
    const demo::RecordedViews& own = record.located.front();
    for (size_t i = 0; i < kFrames; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i + 1));
        const demo::RecordedViews& submitted = record.submitted[i];
        e2e::ExpectPose(submitted.left, option ? own.left : e2e::kWorkedLeft, kPoseTolerance,
                        "submitted left");
        e2e::ExpectPose(submitted.right, option ? own.right : e2e::kWorkedRight, kPoseTolerance,
                        "submitted right");
        if (HasFailure()) {
            return;
        }
    }
    EXPECT_GT(std::abs(own.left.position.y - e2e::kWorkedLeft.position.y), 0.1)
        << "the runtime's own views must differ from the tracked ones for this test to tell";
}

INSTANTIATE_TEST_SUITE_P(Option, RuntimeViews, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "On" : "Off";
                         });

}  // namespace
