// The demo through the system's loader with the stand-in runtime: what the runtime records is
// what the application located and submitted.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LoaderRun.h"

namespace {

constexpr int kFrames = 200;
constexpr double kDemoTimeoutSeconds = 60.0;

using e2e::ReadRecord;
using e2e::Record;

void ExpectPose(const XrPosef& actual, const XrPosef& expected, const char* what) {
    e2e::ExpectPose(actual, expected, 1e-6, what);
}

// The stand-in's head at (0.25, 1.65, -0.4) turned by +10 degrees, eyes 70 mm apart along the
// head's +X axis, which a yaw of psi turns to (cos psi, 0, -sin psi).
XrPosef ExpectedEye(double side) {
    const double yaw = 10.0 * M_PI / 180.0;
    XrPosef pose{};
    pose.orientation = {0.0f, static_cast<float>(std::sin(yaw / 2)), 0.0f,
                        static_cast<float>(std::cos(yaw / 2))};
    pose.position = {static_cast<float>(0.25 + side * 0.035 * std::cos(yaw)), 1.65f,
                     static_cast<float>(-0.4 - side * 0.035 * std::sin(yaw))};
    return pose;
}

class DemoThroughLoader : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, RecordPath());
        environment_["TARVEX_STANDIN_RUNTIME_YAW_DEG"] = "10";
    }
    void TearDown() override {
        if (!HasFailure()) {
            std::filesystem::remove_all(dir_);
        }
    }

    std::string RecordPath() const { return dir_ + "/runtime-record.txt"; }

    e2e::ChildRun RunDemo() {
        const e2e::ChildRun run = e2e::RunChild(
            {TARVEX_DEMO_PATH, "--frames", std::to_string(kFrames), "--plot", dir_ + "/views.svg"},
            environment_, dir_ + "/demo-output.txt", kDemoTimeoutSeconds);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return run;
    }

    // A full session with the runtime's own poses located and submitted unchanged.
    void ExpectRuntimePosesThroughout() {
        const Record record = ReadRecord(RecordPath());
        EXPECT_EQ(record.sessionStates, e2e::FullSessionStates());
        ASSERT_EQ(record.referenceSpaces.size(), 1u);
        EXPECT_EQ(record.referenceSpaces[0],
                  "reference_space type=XR_REFERENCE_SPACE_TYPE_LOCAL pose=0,0,0,0,0,0,1");
        ASSERT_EQ(record.located.size(), static_cast<size_t>(kFrames));
        ASSERT_EQ(record.submitted.size(), static_cast<size_t>(kFrames));
        ASSERT_EQ(record.endFrameResults.size(), static_cast<size_t>(kFrames));
        for (size_t i = 0; i < record.located.size(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            EXPECT_EQ(record.endFrameResults[i], "XR_SUCCESS");
            ExpectPose(record.located[i].left, ExpectedEye(-1.0), "located left");
            ExpectPose(record.located[i].right, ExpectedEye(1.0), "located right");
            EXPECT_EQ(record.submitted[i].displayTime, record.located[i].displayTime);
            ExpectPose(record.submitted[i].left, record.located[i].left, "submitted left");
            ExpectPose(record.submitted[i].right, record.located[i].right, "submitted right");
            if (i > 0) {
                EXPECT_GT(record.located[i].displayTime, record.located[i - 1].displayTime);
            }
        }
    }

    std::string dir_;
    e2e::Environment environment_;
};

TEST_F(DemoThroughLoader, StandinRuntimeAloneLocatesAndReceivesItsOwnPoses) {
    const e2e::ChildRun run = RunDemo();
    EXPECT_NE(run.output.find("frames: 200, views located: 200, projection layers submitted: 200"),
              std::string::npos)
        << run.output;
    ExpectRuntimePosesThroughout();
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/views.svg"));
}

TEST_F(DemoThroughLoader, CoreValidationStackedReportsNothing) {
    const std::string coreValidationDir = TARVEX_CORE_VALIDATION_MANIFEST_DIR;
    ASSERT_FALSE(coreValidationDir.empty())
        << "openxr-layer-corevalidation is not installed: scripts/install-deps.sh installs it";
    const std::string reportFile = dir_ + "/core-validation.txt";
    environment_["XR_API_LAYER_PATH"] = coreValidationDir;
    environment_["XR_ENABLE_API_LAYERS"] = "XR_APILAYER_LUNARG_core_validation";
    environment_["XR_CORE_VALIDATION_FILE_NAME"] = reportFile;
    environment_["XR_LOADER_DEBUG"] = "info";
    const e2e::ChildRun run = RunDemo();
    // The layer really was in the chain, and it wrote no report at all.
    EXPECT_NE(run.output.find("succeeded loading layer XR_APILAYER_LUNARG_core_validation"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(e2e::ReadFile(reportFile), "");
    EXPECT_EQ(run.output.find("VUID"), std::string::npos) << run.output;
    ExpectRuntimePosesThroughout();
}

}  // namespace
