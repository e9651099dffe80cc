// The demo asking for OpenXR 1.0 or 1.1 through Debian 12's loader (1.0.20) and the 1.1.47 one,
// with the tracking layer in front of the stand-in runtime and the simulator's fixed headset: the
// 1.1 loader takes both versions and the application receives the tracked views; Debian 12's
// refuses 1.1. The layer uses the fixed motion-capture ports, so these tests take the
// "mocap_ports" lock.

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"
#include "tests/e2e/OpenXrSdks.h"

namespace {

constexpr int kFrames = 30;
constexpr double kDemoTimeoutSeconds = 60.0;
// How near the worked example's poses (e2e::kWorkedLeft, ...) the received ones must be.
constexpr double kWorkedTolerance = 1e-5;

struct ApiVersionCase {
    const char* name;
    const e2e::OpenXrSdk& (*sdk)();
    const char* apiVersion;
    bool accepted;
};

void PrintTo(const ApiVersionCase& c, std::ostream* out) {
    *out << c.name;
}

class DemoApiVersionThroughLoaders : public ::testing::TestWithParam<ApiVersionCase> {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, dir_ + "/runtime-record.txt");
        environment_["TARVEX_STANDIN_RUNTIME_YAW_DEG"] = "10";
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
        environment_["XR_API_LAYER_PATH"] = TARVEX_LAYER_MANIFEST_DIR;
        environment_["XR_ENABLE_API_LAYERS"] = e2e::kLayerName;
        e2e::WriteLayerConfig(dir_, e2e::kLoopbackSettings);
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    std::string dir_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
};

TEST_P(DemoApiVersionThroughLoaders, RunsOrIsRefusedByTheLoader) {
    const ApiVersionCase& c = GetParam();
    const e2e::OpenXrSdk& sdk = c.sdk();
    e2e::ExpectLoaderPresent(sdk);
    ASSERT_FALSE(HasFailure());
    e2e::UseLoaderOf(sdk, environment_, dir_);
    e2e::StartSimulator(simulator_, {"--pose", e2e::kWorkedExamplePose}, dir_);
    const std::string dump = dir_ + "/views.txt";
    const e2e::ChildRun run =
        e2e::RunChild({TARVEX_DEMO_PATH, "--frames", std::to_string(kFrames), "--api-version",
                       c.apiVersion, "--plot", dir_ + "/views.svg", "--dump-views", dump},
                      environment_, dir_ + "/demo-output.txt", kDemoTimeoutSeconds);
    ASSERT_FALSE(run.timedOut) << run.output;
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
    if (!c.accepted) {
        EXPECT_EQ(run.exitCode, 2) << run.output;
        // Without an instance the demo can only give the result's number.
        const std::string refused = "xrCreateInstance failed: XrResult " +
                                    std::to_string(XR_ERROR_API_VERSION_UNSUPPORTED) + " ";
        EXPECT_NE(run.output.find(refused), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("invalid API version 1.1.  Max supported version is 1.0"),
                  std::string::npos)
            << run.output;
        return;
    }
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<e2e::ReceivedViews> received = e2e::ReadViewDump(dump);
    ASSERT_EQ(received.size(), static_cast<size_t>(kFrames));
    for (size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        e2e::ExpectPose(received[i].views.left, e2e::kWorkedLeft, kWorkedTolerance, "left");
        e2e::ExpectPose(received[i].views.right, e2e::kWorkedRight, kWorkedTolerance, "right");
        if (HasFailure()) {
            return;  // one frame's report is enough
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Loaders, DemoApiVersionThroughLoaders,
    ::testing::Values(ApiVersionCase{"Sdk1_1_47Api1_1", &e2e::Sdk1_1_47, "1.1", true},
                      ApiVersionCase{"Sdk1_1_47Api1_0", &e2e::Sdk1_1_47, "1.0", true},
                      ApiVersionCase{"Debian12Api1_0", &e2e::Debian12Sdk, "1.0", true},
                      ApiVersionCase{"Debian12Api1_1", &e2e::Debian12Sdk, "1.1", false}),
    [](const ::testing::TestParamInfo<ApiVersionCase>& param) {
        return std::string(param.param.name);
    });

}  // namespace
