// The whole Windows chain under Wine: the Khronos loader built for Windows finds the layer in the
// registry where install-layer.ps1 registers it, reads its manifest, resolves its library_path and
// loads the DLL itself; the stand-in runtime is the active runtime; the demo and tarvex-check are
// Windows programs. The Linux simulator serves the worked example's headset on a port it chose
// (ORVIX_STANDIN_PORTS, set by run-chain-test.sh, which starts it). The test program and the demo
// run through the loader DLL beside them, whose version the test registration names
// (TARVEX_WINDOWS_OPENXR_LOADER_VERSION); every case checks that this is the loader in use.

#include <windows.h>

#include <gtest/gtest.h>
#include <openxr/openxr.h>
#include <nlohmann/json.hpp>
#define XR_USE_PLATFORM_WIN32
#include <openxr/openxr_platform.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Platform.h"
#include "tests/common/WalkDating.h"
#include "tests/windows/LoaderVersion.h"
#include "tests/windows/ProgramRun.h"
#include "tests/windows/ScopedRegistryValue.h"
#include "tools/demo/DemoSession.h"
#include "tools/demo/RuntimeRecord.h"
#include "tools/mocap-sim/MocapPath.h"

namespace {

namespace fs = std::filesystem;
using windows_test::ProgramRun;
using windows_test::ScopedRegistryValue;

constexpr const char* kImplicitLayersKey = "SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit";
constexpr const char* kOpenXRKey = "SOFTWARE\\Khronos\\OpenXR\\1";
constexpr const char* kManifestName = "XR_APILAYER_TARVEX_tracking_override.json";
constexpr const char* kLayerDll = "tarvex_tracking.dll";
constexpr const char* kLoaderDll = "libopenxr_loader.dll";
// XR_LOADER_DEBUG=info reports each layer the loader opens.
constexpr const char* kLoaderLoadedLayer =
    "succeeded loading layer XR_APILAYER_TARVEX_tracking_override";
constexpr int kFrames = 30;
constexpr double kDemoTimeoutSeconds = 60.0;
constexpr double kTolerance = 1e-5;

XrPosef MakePose(float px, float py, float pz, float qx, float qy, float qz, float qw) {
    XrPosef pose{};
    pose.position = {px, py, pz};
    pose.orientation = {qx, qy, qz, qw};
    return pose;
}

// The worked example of the Linux end-to-end tests: the simulator's headset at (-1, 1.5, -2)
// turned 30 degrees, the runtime heading +10 degrees, 64 mm between the eyes.
const XrPosef kTrackedLeft = MakePose(0.2279395f, 1.5f, 2.2374053f, 0, 0.0871557f, 0, 0.9961947f);
const XrPosef kTrackedRight = MakePose(0.2833651f, 1.5f, 2.2054053f, 0, 0.0871557f, 0, 0.9961947f);
constexpr const char* kRuntimeOwnSpace =
    "reference_space type=XR_REFERENCE_SPACE_TYPE_LOCAL pose=0,0,0,0,0,0,1";

// The layer first asks the configured server on the standard command port, where other programs on
// this machine may serve on 127.0.0.1; an address of loopback's own that nothing listens on sends
// it straight to discovery, which asks 127.0.0.1 on the simulator's port.
constexpr const char* kUnservedAddress = "127.0.0.3";
constexpr const char* kConfig =
    "[SETTINGS]\n"
    "connectiontype = 0\n"
    "localaddress = 127.0.0.1\n"
    "serveraddress = 127.0.0.3\n"
    "hmdrbid = 1\n"
    "ipd = 64\n"
    "overrider = false\n"
    "controllerrrbid = 2\n"
    "overridel = false\n"
    "controllerlrbid = 3\n";

// The build passes Linux paths; Wine shows the Linux root as drive Z:.
std::string WindowsPath(std::string linuxPath) {
    std::replace(linuxPath.begin(), linuxPath.end(), '/', '\\');
    return "Z:" + linuxPath;
}

std::string ReadFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void ExpectPose(const XrPosef& actual, const XrPosef& expected, const std::string& what) {
    EXPECT_NEAR(actual.position.x, expected.position.x, kTolerance) << what;
    EXPECT_NEAR(actual.position.y, expected.position.y, kTolerance) << what;
    EXPECT_NEAR(actual.position.z, expected.position.z, kTolerance) << what;
    EXPECT_NEAR(actual.orientation.x, expected.orientation.x, kTolerance) << what;
    EXPECT_NEAR(actual.orientation.y, expected.orientation.y, kTolerance) << what;
    EXPECT_NEAR(actual.orientation.z, expected.orientation.z, kTolerance) << what;
    EXPECT_NEAR(actual.orientation.w, expected.orientation.w, kTolerance) << what;
}

bool SamePose(const XrPosef& a, const XrPosef& b) {
    return a.position.x == b.position.x && a.position.y == b.position.y &&
           a.position.z == b.position.z && a.orientation.x == b.orientation.x &&
           a.orientation.y == b.orientation.y && a.orientation.z == b.orientation.z &&
           a.orientation.w == b.orientation.w;
}

// What the stand-in runtime recorded of one run.
struct RuntimeRecord {
    std::vector<demo::RecordedViews> located;
    std::vector<demo::RecordedViews> submitted;
    std::vector<std::string> referenceSpaces;
};

RuntimeRecord ReadRuntimeRecord(const fs::path& path) {
    RuntimeRecord record;
    demo::RuntimeRecordReader reader(path.string());
    reader.ReadNew();
    record.located = reader.Located();
    record.submitted = reader.Submitted();
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("reference_space ", 0) == 0) {
            record.referenceSpaces.push_back(line);
        }
    }
    return record;
}

// The demo's --dump-views lines, "received call_seconds=S display_time=T view0=... view1=...";
// the call times go to `callSeconds` when given.
std::vector<demo::RecordedViews> ReadViewDump(const fs::path& path,
                                              std::vector<double>* callSeconds = nullptr) {
    std::vector<demo::RecordedViews> views;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        const size_t from = line.find(" call_seconds=");
        const size_t to = line.find(" display_time=");
        if (from != std::string::npos && to != std::string::npos) {
            if (callSeconds != nullptr) {
                callSeconds->push_back(std::stod(line.substr(from + 14, to - from - 14)));
            }
            line.erase(from, to - from);
        }
        const std::optional<demo::RecordedViews> parsed = demo::ParseViewsLine(line, "received");
        EXPECT_TRUE(parsed.has_value()) << line;
        if (parsed) {
            views.push_back(*parsed);
        }
    }
    return views;
}

size_t CountLines(const std::string& text, const std::string& wanted) {
    size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        count += line == wanted ? 1 : 0;
    }
    return count;
}

bool ModuleLoaded(const char* name) {
    return GetModuleHandleA(name) != nullptr;
}

// The folder of this test program, where the build put the demo and one loader DLL beside it.
fs::path ProgramFolder() {
    std::vector<char> path(32768);
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return fs::path(std::string(path.data(), length)).parent_path();
}

// The loader version the test registration runs this program with; empty when it names none.
std::string ExpectedLoaderVersion() {
    const char* version = std::getenv("TARVEX_WINDOWS_OPENXR_LOADER_VERSION");
    return version == nullptr ? std::string() : std::string(version);
}

// Whether an application may ask the expected loader for OpenXR 1.1: loaders before 1.1 refuse it.
bool LoaderTakesApi1_1() {
    return ExpectedLoaderVersion().rfind("1.0.", 0) != 0;
}

class WindowsChain : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("ORVIX_STANDIN_PORTS"), nullptr)
            << "run through run-chain-test.sh, which starts the simulator";
        ExpectRunningThroughTheExpectedLoader();
        if (HasFatalFailure()) {
            return;
        }
        std::random_device random;
        dir_ = fs::temp_directory_path() /
               ("tarvex-windows-chain-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(ConfigDir());
        std::ofstream(ConfigDir() / "TarvexOpenXRConfig.ini") << kConfig;

        // Wine runs programs elevated, and an elevated loader ignores XR_RUNTIME_JSON: the
        // runtime is made the active one in the registry instead.
        runtime_ = std::make_unique<ScopedRegistryValue>(kOpenXRKey, "ActiveRuntime",
                                                         WindowsPath(TARVEX_RUNTIME_MANIFEST));
        ASSERT_TRUE(runtime_->Written());
        variables_.push_back(
            std::make_unique<ScopedVariable>("TARVEX_STANDIN_RUNTIME_YAW_DEG", "10"));
        variables_.push_back(std::make_unique<ScopedVariable>("TARVEX_STANDIN_RUNTIME_RECORD",
                                                              RecordPath().string()));
        variables_.push_back(std::make_unique<ScopedVariable>("XR_LOADER_DEBUG", "info"));
        variables_.push_back(
            std::make_unique<ScopedVariable>("TARVEX_OPENXR_CONFIG", std::nullopt));
        variables_.push_back(
            std::make_unique<ScopedVariable>("DISABLE_TARVEX_TRACKING_OVERRIDE", std::nullopt));
    }

    void TearDown() override {
        layer_.reset();
        runtime_.reset();
        variables_.clear();
        if (!HasFailure()) {
            std::error_code ignored;
            fs::remove_all(dir_, ignored);
        }
    }

    // The loader linked into this process is the DLL beside it, of the version the registration
    // names, and the demo has that same DLL beside it: a loader found elsewhere fails the case.
    static void ExpectRunningThroughTheExpectedLoader() {
        const std::string expected = ExpectedLoaderVersion();
        ASSERT_FALSE(expected.empty())
            << "TARVEX_WINDOWS_OPENXR_LOADER_VERSION is not set: run the case through its ctest "
               "registration, which names the loader";
        const fs::path beside = ProgramFolder() / kLoaderDll;
        const std::string loaded = windows_test::LoadedModulePath(kLoaderDll);
        ASSERT_FALSE(loaded.empty()) << kLoaderDll << " is not loaded into the test program";
        EXPECT_EQ(fs::path(loaded), beside);
        EXPECT_EQ(windows_test::FileVersion(loaded), expected) << loaded;
        EXPECT_TRUE(fs::exists(ProgramFolder() / "tarvex-demo.exe")) << ProgramFolder();
        std::printf("[ loader   ] %s %s\n", windows_test::FileVersion(loaded).c_str(),
                    loaded.c_str());
    }

    fs::path ConfigDir() const { return dir_ / "config"; }
    fs::path RecordPath() const { return dir_ / "runtime-record.txt"; }
    fs::path DumpPath() const { return dir_ / "views.txt"; }

    void SetVariable(const std::string& name, const std::string& value) {
        variables_.push_back(std::make_unique<ScopedVariable>(name, value));
    }

    // The manifest under HKLM\...\ApiLayers\Implicit as install-layer.ps1 registers it: a DWORD 0
    // named by the manifest's full path.
    void Register(const fs::path& manifest) {
        layer_ = std::make_unique<ScopedRegistryValue>(kImplicitLayersKey, manifest.string(), 0);
        ASSERT_TRUE(layer_->Written()) << manifest;
    }

    // The DLL and the build's manifest, which names it relative to its own folder, in a folder of
    // their own, as the ZIP package unpacks.
    fs::path InstallAsPackage() {
        const fs::path folder = dir_ / "Tarvex OpenXR";
        fs::create_directories(folder);
        const std::string manifest = ReadFile(WindowsPath(TARVEX_LAYER_DIR) + "\\" + kManifestName);
        EXPECT_NE(manifest.find("\"library_path\": \"./tarvex_tracking.dll\""), std::string::npos)
            << manifest;
        std::ofstream(folder / kManifestName) << manifest;
        fs::copy_file(WindowsPath(TARVEX_LAYER_DIR) + "\\" + kLayerDll, folder / kLayerDll);
        return folder / kManifestName;
    }

    // A manifest in a folder without the DLL, naming the build's DLL by its full path.
    fs::path InstallWithFullLibraryPath() {
        const fs::path folder = dir_ / "manifests";
        fs::create_directories(folder);
        std::string manifest = ReadFile(WindowsPath(TARVEX_LAYER_DIR) + "\\" + kManifestName);
        const std::string relative = "\"./tarvex_tracking.dll\"";
        const size_t at = manifest.find(relative);
        EXPECT_NE(at, std::string::npos) << manifest;
        if (at != std::string::npos) {
            std::string full = WindowsPath(TARVEX_LAYER_DIR) + "\\" + kLayerDll;
            std::string escaped;
            for (const char c : full) {
                escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
            }
            manifest.replace(at, relative.size(), "\"" + escaped + "\"");
        }
        std::ofstream(folder / kManifestName) << manifest;
        return folder / kManifestName;
    }

    // The demo beside this program for `length` ("--frames N" or "--seconds S", maybe with more
    // options); `succeeds`: whether it must end well.
    ProgramRun RunDemo(const std::string& length = "--frames " + std::to_string(kFrames),
                       bool succeeds = true) {
        const std::string command = "\"" + (ProgramFolder() / "tarvex-demo.exe").string() + "\" " +
                                    length + " --dump-views \"" + DumpPath().string() +
                                    "\" --plot \"" + (dir_ / "views.svg").string() + "\"";
        ProgramRun run = windows_test::RunProgram(command, (dir_ / "demo-output.txt").string(),
                                                  kDemoTimeoutSeconds);
        EXPECT_TRUE(run.started) << run.output;
        EXPECT_FALSE(run.timedOut) << run.output;
        if (succeeds) {
            EXPECT_EQ(run.exitCode, 0u) << run.output;
        }
        return run;
    }

    // The application received the worked example's views, and the runtime received them in
    // every projection layer; the reference space is the layer's, not the application's.
    void ExpectTrackedViews(const std::vector<demo::RecordedViews>& received,
                            const RuntimeRecord& record, size_t frames) {
        ASSERT_EQ(received.size(), frames);
        ASSERT_EQ(record.submitted.size(), frames);
        ASSERT_EQ(record.referenceSpaces.size(), 1u);
        EXPECT_NE(record.referenceSpaces[0], kRuntimeOwnSpace);
        for (size_t i = 0; i < frames && !HasFailure(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            ExpectPose(received[i].left, kTrackedLeft, "left");
            ExpectPose(received[i].right, kTrackedRight, "right");
            ExpectPose(record.submitted[i].left, kTrackedLeft, "runtime's left");
            ExpectPose(record.submitted[i].right, kTrackedRight, "runtime's right");
        }
    }

    fs::path dir_;
    std::unique_ptr<ScopedRegistryValue> runtime_;
    std::unique_ptr<ScopedRegistryValue> layer_;
    std::vector<std::unique_ptr<ScopedVariable>> variables_;
};

struct RegistrationCase {
    const char* name;
    bool package;  // the ZIP's layout: library_path relative to the manifest's folder
};

class LayerRegistration : public WindowsChain,
                          public ::testing::WithParamInterface<RegistrationCase> {};

TEST_P(LayerRegistration, WorkedExampleReachesTheApplicationAndTheRuntime) {
    const fs::path manifest =
        GetParam().package ? InstallAsPackage() : InstallWithFullLibraryPath();
    Register(manifest);
    SetVariable("TARVEX_OPENXR_CONFIG", ConfigDir().string());

    const ProgramRun run = RunDemo();
    ASSERT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.output.find(kLoaderLoadedLayer), std::string::npos) << run.output;
    ExpectTrackedViews(ReadViewDump(DumpPath()), ReadRuntimeRecord(RecordPath()), kFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Manifests, LayerRegistration,
    ::testing::Values(RegistrationCase{"RelativeLibraryPathAsInThePackage", true},
                      RegistrationCase{"FullLibraryPath", false}),
    [](const ::testing::TestParamInfo<RegistrationCase>& param) { return param.param.name; });

struct EnvironmentCase {
    const char* name;
    bool configVariable;   // TARVEX_OPENXR_CONFIG names the folder of a good configuration
    bool disableVariable;  // DISABLE_TARVEX_TRACKING_OVERRIDE=1
    bool layerActive;
};

class ImplicitLayerEnvironment : public WindowsChain,
                                 public ::testing::WithParamInterface<EnvironmentCase> {};

TEST_P(ImplicitLayerEnvironment, LoaderAddsTheLayerOnlyWhereItsConfigurationIsNamed) {
    const EnvironmentCase& given = GetParam();
    Register(InstallAsPackage());
    if (given.configVariable) {
        SetVariable("TARVEX_OPENXR_CONFIG", ConfigDir().string());
    }
    if (given.disableVariable) {
        SetVariable("DISABLE_TARVEX_TRACKING_OVERRIDE", "1");
    }

    const ProgramRun run = RunDemo();
    ASSERT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output.find(kLoaderLoadedLayer) != std::string::npos, given.layerActive)
        << run.output;
    const std::vector<demo::RecordedViews> received = ReadViewDump(DumpPath());
    const RuntimeRecord record = ReadRuntimeRecord(RecordPath());
    if (given.layerActive) {
        ExpectTrackedViews(received, record, kFrames);
        return;
    }
    // No layer in the chain: the runtime's own poses and its own reference space.
    ASSERT_EQ(received.size(), static_cast<size_t>(kFrames));
    ASSERT_EQ(record.located.size(), static_cast<size_t>(kFrames));
    ASSERT_EQ(record.submitted.size(), static_cast<size_t>(kFrames));
    ASSERT_EQ(record.referenceSpaces.size(), 1u);
    EXPECT_EQ(record.referenceSpaces[0], kRuntimeOwnSpace);
    for (size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_TRUE(SamePose(received[i].left, record.located[i].left));
        EXPECT_TRUE(SamePose(received[i].right, record.located[i].right));
        EXPECT_TRUE(SamePose(record.submitted[i].left, record.located[i].left));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImplicitLayerEnvironment,
    ::testing::Values(EnvironmentCase{"WithoutConfigVariable", false, false, false},
                      EnvironmentCase{"WithConfigVariable", true, false, true},
                      EnvironmentCase{"WithConfigAndDisableVariables", true, true, false}),
    [](const ::testing::TestParamInfo<EnvironmentCase>& param) { return param.param.name; });

// The demo asking for OpenXR 1.1: a 1.1 loader takes it and the application receives the tracked
// views, a 1.0 loader refuses it. The demo loads the DLL beside it, so this also shows which loader
// the demo's own process ran through.
TEST_F(WindowsChain, DemoAskingForOpenXr1_1RunsOnlyThroughA1_1Loader) {
    Register(InstallAsPackage());
    SetVariable("TARVEX_OPENXR_CONFIG", ConfigDir().string());
    const bool accepted = LoaderTakesApi1_1();

    const ProgramRun run =
        RunDemo("--frames " + std::to_string(kFrames) + " --api-version 1.1", accepted);
    if (!accepted) {
        EXPECT_EQ(run.exitCode, 2u) << run.output;
        // Without an instance the demo can only give the result's number.
        const std::string refused = "xrCreateInstance failed: XrResult " +
                                    std::to_string(XR_ERROR_API_VERSION_UNSUPPORTED) + " ";
        EXPECT_NE(run.output.find(refused), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("invalid API version 1.1.  Max supported version is 1.0"),
                  std::string::npos)
            << run.output;
        return;
    }
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find(kLoaderLoadedLayer), std::string::npos) << run.output;
    ExpectTrackedViews(ReadViewDump(DumpPath()), ReadRuntimeRecord(RecordPath()), kFrames);
}

// Two instances one after the other in this process, through the loader linked into it.
TEST_F(WindowsChain, SecondInstanceInTheSameProcessGetsTheTrackedViewsToo) {
    Register(InstallAsPackage());
    SetVariable("TARVEX_OPENXR_CONFIG", ConfigDir().string());
    demo::DemoOptions options;
    options.frames = kFrames;
    const auto noProgress = [](const demo::ViewSample&, uint64_t) {};

    for (int life = 1; life <= 2; ++life) {
        SCOPED_TRACE("instance " + std::to_string(life));
        const demo::RunResult run = demo::RunDemoSession(options, noProgress);
        ASSERT_EQ(run.outcome, demo::RunOutcome::kCompleted) << run.message;
        std::vector<demo::RecordedViews> received;
        for (const demo::ViewSample& sample : run.samples) {
            received.push_back({sample.displayTime, sample.left, sample.right});
        }
        // The runtime starts its record afresh at each xrCreateInstance.
        ExpectTrackedViews(received, ReadRuntimeRecord(RecordPath()), kFrames);
        // What the loader left mapped once the instance was gone (the layer pins itself).
        std::printf("after instance %d was destroyed: %s %s, %s %s\n", life, kLayerDll,
                    ModuleLoaded(kLayerDll) ? "loaded" : "unloaded", "tarvex_standin_runtime.dll",
                    ModuleLoaded("tarvex_standin_runtime.dll") ? "loaded" : "unloaded");
    }
}

// tarvex-check under Wine on this very setup: registration, configuration and the stream. Like
// the layer, it asks the configured address first and finds the simulator by discovery, which the
// report says.
TEST_F(WindowsChain, CheckToolReportsTheRegistrationConfigurationAndStream) {
    const fs::path manifest = InstallAsPackage();
    Register(manifest);
    SetVariable("TARVEX_OPENXR_CONFIG", ConfigDir().string());
    const std::string check = "\"" + WindowsPath(TARVEX_CHECK_PATH) + "\" --seconds 1";

    const ProgramRun text =
        windows_test::RunProgram(check, (dir_ / "check.txt").string(), kDemoTimeoutSeconds);
    ASSERT_FALSE(text.timedOut);
    EXPECT_EQ(text.exitCode, 0u) << text.output;
    const std::string folder = manifest.parent_path().string();
    for (const std::string& line :
         {"[ OK ] manifest " + manifest.string() +
              " (implicit) names XR_APILAYER_TARVEX_tracking_override",
          "[ OK ] library " + folder + "\\" + kLayerDll +
              " loads and exports xrNegotiateLoaderApiLayerInterface",
          std::string("[ OK ] DISABLE_TARVEX_TRACKING_OVERRIDE is not set"),
          "[ OK ] TARVEX_OPENXR_CONFIG is set: the layer reads " +
              (ConfigDir() / "TarvexOpenXRConfig.ini").string(),
          "[ OK ] settings read: unicast, server " + std::string(kUnservedAddress) +
              ", headset rigid body 1, ipd 64 mm",
          "[WARN] server " + std::string(kUnservedAddress) +
              " did not answer at the configured address",
          std::string("discovery found 127.0.0.1 (unicast)"),
          std::string("[ OK ] headset rigid body (hmdrbid) 1 is in "), std::string("Result: OK")}) {
        EXPECT_NE(text.output.find(line), std::string::npos) << line << "\n--- report:\n"
                                                             << text.output;
    }

    const ProgramRun json = windows_test::RunProgram(
        check + " --json", (dir_ / "check.json").string(), kDemoTimeoutSeconds);
    ASSERT_FALSE(json.timedOut);
    EXPECT_EQ(json.exitCode, 0u) << json.output;
    const nlohmann::json report = nlohmann::json::parse(json.output, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << json.output;
    EXPECT_EQ(report.value("passed", false), true) << json.output;
    const nlohmann::json ids = report["facts"]["mocap"]["rigid_body_ids"];
    EXPECT_EQ(report["facts"]["mocap"].value("found_by", ""), "discovery") << json.output;
    ASSERT_TRUE(ids.is_array()) << json.output;
    EXPECT_NE(std::find(ids.begin(), ids.end(), 1), ids.end()) << json.output;
    EXPECT_GT(report["facts"]["mocap"].value("frame_rate_hz", 0.0), 0.0) << json.output;
}

// ---- Prediction to the display time, through XR_KHR_win32_convert_performance_counter_time ----
//
// The simulator walks the circle here (run-chain-test.sh's motion argument), whose head turn dates
// a received head (tests/common/WalkDating.h). The simulator's clock (Linux CLOCK_MONOTONIC) and
// the performance counter under Wine need not share an origin, so both runs are dated from the same
// arbitrary origin and only their difference counts.

// The largest maximum the layer takes: a conversion gone wrong would send the heads that far past
// the newest frame, well beyond the display time.
constexpr const char* kPredictionOptions =
    "[OPTIONS]\npredictdisplaytime = true\nmaxpredictionms = 200\n";
constexpr const char* kPredictionOffLine =
    "Prediction to display time is off: the runtime does not offer "
    "XR_KHR_win32_convert_performance_counter_time.";
constexpr int kDisplayDelayMs = 60;
constexpr double kHeadTurnPeriod = 1.0 / kHeadTurnHertz;

struct Dated {
    walk_dating::TimeShift shift;  // seconds within one head-turn period
    double displayAhead = 0.0;     // mean of display time less call time, seconds
};

// The shift over one whole period in coarse steps, then refined around the best.
Dated DateRun(const std::vector<demo::RecordedViews>& views, const std::vector<double>& calls,
              double origin) {
    std::vector<walk_dating::DatedHead> heads;
    Dated dated;
    for (size_t i = 0; i < views.size(); ++i) {
        const XrPosef& l = views[i].left;
        const XrPosef& r = views[i].right;
        heads.push_back({calls[i] - origin,
                         walk_dating::HeadingAgainstBearing((l.position.x + r.position.x) / 2,
                                                            (l.position.z + r.position.z) / 2,
                                                            l.orientation.y, l.orientation.w)});
        dated.displayAhead += static_cast<double>(views[i].displayTime) * 1e-9 - calls[i];
    }
    dated.displayAhead /= static_cast<double>(views.size());
    dated.shift =
        walk_dating::FitTimeShift(heads, -kHeadTurnPeriod / 2, kHeadTurnPeriod / 2, 0.005);
    dated.shift = walk_dating::FitTimeShift(heads, dated.shift.seconds - 0.005,
                                            dated.shift.seconds + 0.005, 0.0002);
    return dated;
}

TEST_F(WindowsChain, PredictionReachesTheDisplayTimeThroughThePerformanceCounterConversion) {
    Register(InstallAsPackage());
    SetVariable("TARVEX_OPENXR_CONFIG", ConfigDir().string());
    SetVariable("TARVEX_STANDIN_DISPLAY_DELAY_MS", std::to_string(kDisplayDelayMs));
    std::ofstream(ConfigDir() / "TarvexOpenXRConfig.ini") << kConfig << kPredictionOptions;

    // Two runs of one head-turn period each: first with a runtime that lacks the conversion, where
    // the layer says so once and gives the newest frame's head; then with it.
    std::vector<Dated> dated;
    std::optional<double> origin;
    for (const bool converts : {false, true}) {
        SCOPED_TRACE(converts ? "runtime converts" : "runtime without conversion");
        const ScopedVariable conversion("TARVEX_STANDIN_NO_TIME_CONVERSION", converts ? "0" : "1");
        const ProgramRun run = RunDemo("--seconds " + std::to_string(kHeadTurnPeriod));
        ASSERT_EQ(run.exitCode, 0u);
        EXPECT_EQ(CountLines(run.output, kPredictionOffLine), converts ? 0u : 1u) << run.output;
        std::vector<double> calls;
        const std::vector<demo::RecordedViews> views = ReadViewDump(DumpPath(), &calls);
        ASSERT_GT(views.size(), 150u);
        ASSERT_EQ(calls.size(), views.size());
        origin = origin.value_or(calls.front());
        dated.push_back(DateRun(views, calls, *origin));
        std::printf(
            "%s: heads dated at %+.1f ms from the common origin (rms %.3f deg); display "
            "%.1f ms after the call\n",
            converts ? "with the conversion" : "without it", dated.back().shift.seconds * 1e3,
            dated.back().shift.rmsRadians * 180.0 / std::numbers::pi,
            dated.back().displayAhead * 1e3);
        // The heads follow the path at the shift found, so the shift means something: a few tenths
        // of a degree off it on a quiet machine, more when Wine's threads wake late on a busy
        // one, against some 20 degrees for heads that do not follow it. The call comes late on a
        // busy machine too, so the display time may lie a little less far ahead.
        EXPECT_LT(dated.back().shift.rmsRadians, 3.0 * std::numbers::pi / 180.0);
        EXPECT_NEAR(dated.back().displayAhead, kDisplayDelayMs * 1e-3, 0.010);
    }
    // Unpredicted, a head is the newest frame's, a few milliseconds before the call and more on a
    // busy machine; predicted, it is at the display time, up to the client's clock offset (about a
    // round trip) beyond it.
    const double ahead =
        std::remainder(dated[1].shift.seconds - dated[0].shift.seconds, kHeadTurnPeriod);
    std::printf("prediction moved the heads %.1f ms ahead; the display time is %.1f ms ahead\n",
                ahead * 1e3, dated[1].displayAhead * 1e3);
    EXPECT_GE(ahead, dated[1].displayAhead - 0.005);
    EXPECT_LE(ahead, dated[1].displayAhead + 0.050);
}

// The stand-in runtime's conversion, straight through the loader: a counter value and every time
// the runtime's clock reads come back unchanged from a round trip, on the clock the layer reads.
TEST_F(WindowsChain, RuntimeConvertsBetweenItsTimeAndThePerformanceCounter) {
    XrInstanceCreateInfo createInfo{XR_TYPE_INSTANCE_CREATE_INFO};
    std::snprintf(createInfo.applicationInfo.applicationName, XR_MAX_APPLICATION_NAME_SIZE,
                  "conversion");
    createInfo.applicationInfo.apiVersion = XR_MAKE_VERSION(1, 0, 0);
    const char* extensions[] = {XR_MND_HEADLESS_EXTENSION_NAME,
                                XR_KHR_WIN32_CONVERT_PERFORMANCE_COUNTER_TIME_EXTENSION_NAME};
    createInfo.enabledExtensionCount = 2;
    createInfo.enabledExtensionNames = extensions;
    XrInstance instance = XR_NULL_HANDLE;
    {
        // A runtime without the conversion refuses it, as one that never had it would.
        const ScopedVariable off("TARVEX_STANDIN_NO_TIME_CONVERSION", "1");
        EXPECT_EQ(xrCreateInstance(&createInfo, &instance), XR_ERROR_EXTENSION_NOT_PRESENT);
    }
    ASSERT_EQ(xrCreateInstance(&createInfo, &instance), XR_SUCCESS);
    const std::unique_ptr<XrInstance_T, XrResult (*)(XrInstance)> destroy(instance,
                                                                          xrDestroyInstance);
    PFN_xrConvertWin32PerformanceCounterToTimeKHR toTime = nullptr;
    PFN_xrConvertTimeToWin32PerformanceCounterKHR toCounter = nullptr;
    ASSERT_EQ(xrGetInstanceProcAddr(instance, "xrConvertWin32PerformanceCounterToTimeKHR",
                                    reinterpret_cast<PFN_xrVoidFunction*>(&toTime)),
              XR_SUCCESS);
    ASSERT_EQ(xrGetInstanceProcAddr(instance, "xrConvertTimeToWin32PerformanceCounterKHR",
                                    reinterpret_cast<PFN_xrVoidFunction*>(&toCounter)),
              XR_SUCCESS);

    for (int i = 0; i < 1000; ++i) {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        XrTime time = 0;
        LARGE_INTEGER back{};
        ASSERT_EQ(toTime(instance, &counter, &time), XR_SUCCESS);
        ASSERT_EQ(toCounter(instance, time, &back), XR_SUCCESS);
        EXPECT_EQ(back.QuadPart, counter.QuadPart);

        const XrTime now = platform::MonotonicNanoseconds();
        XrTime again = 0;
        ASSERT_EQ(toCounter(instance, now, &back), XR_SUCCESS);
        ASSERT_EQ(toTime(instance, &back, &again), XR_SUCCESS);
        EXPECT_EQ(again, now);
        EXPECT_GE(back.QuadPart, counter.QuadPart);
        if (HasFailure()) {
            return;
        }
    }

    LARGE_INTEGER counter{};
    XrTime time = 0;
    for (const LONGLONG invalid : {0LL, -1LL}) {
        counter.QuadPart = invalid;
        EXPECT_EQ(toTime(instance, &counter, &time), XR_ERROR_TIME_INVALID) << invalid;
        EXPECT_EQ(toCounter(instance, invalid, &counter), XR_ERROR_TIME_INVALID) << invalid;
    }
    EXPECT_EQ(toTime(instance, nullptr, &time), XR_ERROR_VALIDATION_FAILURE);
    EXPECT_EQ(toTime(instance, &counter, nullptr), XR_ERROR_VALIDATION_FAILURE);
    EXPECT_EQ(toCounter(instance, 1, nullptr), XR_ERROR_VALIDATION_FAILURE);
}

}  // namespace
