// The layer installed as an implicit layer, as the install script and the packages install it,
// seen through the system's loader: its manifest's enable_environment (TARVEX_OPENXR_CONFIG)
// decides whether the loader adds it to a process at all, so an OpenXR application that never
// asked for motion capture runs exactly as without the layer. The simulator serves a headset in
// every case, so the layer would have a pose to give if it were there; it uses the fixed ports,
// hence the "mocap_ports" lock.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"

namespace {

constexpr const char* kLoadLine =
    "OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library "
    "initialized.";
// XR_LOADER_DEBUG=info reports each layer the loader opens.
constexpr const char* kLoaderLoadedLayer =
    "succeeded loading layer XR_APILAYER_TARVEX_tracking_override";
constexpr int kFrames = 30;
constexpr double kDemoTimeoutSeconds = 60.0;
// Without a headset the layer would hold xrCreateReferenceSpace for 50 waits of 100 ms; a run
// without the layer must end well before that.
constexpr double kWithoutLayerBoundSeconds = 4.0;

// The simulator's fixed headset and what the layer makes of it with the runtime heading +10
// degrees and 64 mm between the eyes (the worked example of the layer's end-to-end tests).
constexpr const char* kSimulatorPose = "-1,1.5,-2,0,0.2588190,0,0.9659258";
const XrPosef kTrackedLeft = e2e::MakePose(0.2279395, 1.5, 2.2374053, 0, 0.0871557, 0, 0.9961947);
const XrPosef kTrackedRight = e2e::MakePose(0.2833651, 1.5, 2.2054053, 0, 0.0871557, 0, 0.9961947);
constexpr const char* kRuntimeOwnSpace =
    "reference_space type=XR_REFERENCE_SPACE_TYPE_LOCAL pose=0,0,0,0,0,0,1";

bool SamePose(const XrPosef& a, const XrPosef& b) {
    return a.position.x == b.position.x && a.position.y == b.position.y &&
           a.position.z == b.position.z && a.orientation.x == b.orientation.x &&
           a.orientation.y == b.orientation.y && a.orientation.z == b.orientation.z &&
           a.orientation.w == b.orientation.w;
}

struct EnvironmentCase {
    const char* name;
    bool configVariable;   // TARVEX_OPENXR_CONFIG names the folder of a good configuration
    bool disableVariable;  // DISABLE_TARVEX_TRACKING_OVERRIDE=1
    bool layerActive;
};

void PrintTo(const EnvironmentCase& environmentCase, std::ostream* out) {
    *out << environmentCase.name;
}

class ImplicitLayerEnvironment : public ::testing::TestWithParam<EnvironmentCase> {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, RecordPath());
        environment_["TARVEX_STANDIN_RUNTIME_YAW_DEG"] = "10";
        environment_["XR_LOADER_DEBUG"] = "info";
        e2e::WriteLayerConfig(dir_, e2e::kLoopbackSettings);
        InstallImplicitLayer();
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    std::string RecordPath() const { return dir_ + "/runtime-record.txt"; }
    std::string DumpPath() const { return dir_ + "/views.txt"; }

    // The build's manifest in a user's implicit-layer folder, naming the library by its full
    // path as install-layer.sh writes it.
    void InstallImplicitLayer() {
        const std::string manifest = e2e::ReadFile(TARVEX_LAYER_MANIFEST);
        ASSERT_NE(manifest.find("\"enable_environment\": \"TARVEX_OPENXR_CONFIG\""),
                  std::string::npos)
            << manifest;
        e2e::InstallImplicitLayer(dir_, environment_);
    }

    void StartSimulator() { e2e::StartSimulator(simulator_, {"--pose", kSimulatorPose}, dir_); }

    std::string dir_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
};

TEST_P(ImplicitLayerEnvironment, LoaderAddsTheLayerOnlyWhereItsConfigurationIsNamed) {
    const EnvironmentCase& given = GetParam();
    if (given.configVariable) {
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
    }
    if (given.disableVariable) {
        environment_["DISABLE_TARVEX_TRACKING_OVERRIDE"] = "1";
    }
    StartSimulator();

    const auto start = std::chrono::steady_clock::now();
    const e2e::ChildRun run =
        e2e::RunChild({TARVEX_DEMO_PATH, "--frames", std::to_string(kFrames), "--dump-views",
                       DumpPath(), "--plot", dir_ + "/views.svg"},
                      environment_, dir_ + "/demo-output.txt", kDemoTimeoutSeconds);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find(kLoadLine) != std::string::npos, given.layerActive) << run.output;
    EXPECT_EQ(run.output.find(kLoaderLoadedLayer) != std::string::npos, given.layerActive)
        << run.output;

    const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(DumpPath());
    const e2e::Record record = e2e::ReadRecord(RecordPath());
    ASSERT_EQ(received.size(), static_cast<size_t>(kFrames));
    ASSERT_EQ(record.located.size(), static_cast<size_t>(kFrames));
    ASSERT_EQ(record.submitted.size(), static_cast<size_t>(kFrames));
    ASSERT_EQ(record.referenceSpaces.size(), 1u);
    if (given.layerActive) {
        EXPECT_NE(record.referenceSpaces[0], kRuntimeOwnSpace);
        for (size_t i = 0; i < received.size() && !HasFailure(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            e2e::ExpectPose(received[i].views.left, kTrackedLeft, 1e-5, "left");
            e2e::ExpectPose(received[i].views.right, kTrackedRight, 1e-5, "right");
            e2e::ExpectPose(record.submitted[i].left, kTrackedLeft, 1e-5, "runtime's left");
        }
        return;
    }
    // No layer in the chain: the runtime's own poses, its own reference space at once.
    EXPECT_EQ(run.output.find("Waiting"), std::string::npos) << run.output;
    EXPECT_LT(seconds, kWithoutLayerBoundSeconds);
    EXPECT_EQ(record.referenceSpaces[0], kRuntimeOwnSpace);
    for (size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_TRUE(SamePose(received[i].views.left, record.located[i].left));
        EXPECT_TRUE(SamePose(received[i].views.right, record.located[i].right));
        EXPECT_TRUE(SamePose(record.submitted[i].left, record.located[i].left));
        EXPECT_TRUE(SamePose(record.submitted[i].right, record.located[i].right));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImplicitLayerEnvironment,
    ::testing::Values(EnvironmentCase{"WithoutConfigVariable", false, false, false},
                      EnvironmentCase{"WithConfigVariable", true, false, true},
                      EnvironmentCase{"WithConfigAndDisableVariables", true, true, false}),
    [](const ::testing::TestParamInfo<EnvironmentCase>& param) { return param.param.name; });

}  // namespace
