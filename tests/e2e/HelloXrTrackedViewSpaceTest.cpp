// hello_xr with the layer's tracked VIEW spaces, rendering the simulator's circle walk through the
// system's loader and the stand-in runtime. hello_xr draws a cube in its "ViewFront" space, a VIEW
// reference space 2 m in front of the head, located with xrLocateSpace in its LOCAL app space.
// With trackedviewspace on, that cube must stay in front of the eyes the layer gives, in the middle
// of both images; without it, the runtime places the space by its own head, and on the walk
// nothing is in view. The layer uses the fixed motion-capture ports, hence the "mocap_ports" lock.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/HeldInputChild.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"
#include "tools/contact-sheet/DrawnShare.h"
#include "tools/contact-sheet/PngImage.h"

namespace {

using e2e::kLayerName;

constexpr int kFrames = 120;
constexpr const char* kCapturedFrames = "40,100";
constexpr double kHelloXrTimeoutSeconds = 60.0;

// The 0.25 m cube 2 m ahead spans about 70 pixels of a 1024-pixel image with a 90-degree field of
// view, a few pixels off the middle for each eye; the central quarter holds all of it.
constexpr uint32_t kCentreFraction = 4;
constexpr size_t kCubeMinimumPixels = 2000;

// Pixels in the central square (a kCentreFraction-th of each side) whose colour is not the
// cleared background's.
size_t DrawnInCentre(const contact_sheet::RgbImage& image) {
    const contact_sheet::Colour cleared = contact_sheet::ClearedColour(image);
    const uint32_t side = image.width / kCentreFraction;
    const uint32_t left = (image.width - side) / 2;
    const uint32_t top = (image.height - side) / 2;
    size_t drawn = 0;
    for (uint32_t y = top; y < top + side; ++y) {
        for (uint32_t x = left; x < left + side; ++x) {
            drawn += std::equal(cleared.begin(), cleared.end(), image.At(x, y)) ? 0 : 1;
        }
    }
    return drawn;
}

class HelloXrViewFront : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(TARVEX_HELLO_XR_PATH))
            << "hello_xr not found (" << TARVEX_HELLO_XR_PATH << "): install libopenxr-utils";
        ASSERT_TRUE(std::filesystem::exists(TARVEX_LAVAPIPE_ICD))
            << "Mesa's software Vulkan driver not found (" << TARVEX_LAVAPIPE_ICD
            << "): install mesa-vulkan-drivers";
        dir_ = e2e::MakeTempDir();
        captures_ = dir_ + "/captures";
        std::filesystem::create_directory(captures_);
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, dir_ + "/runtime-record.txt");
        environment_["XR_API_LAYER_PATH"] = TARVEX_LAYER_MANIFEST_DIR;
        environment_["XR_ENABLE_API_LAYERS"] = kLayerName;
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
        environment_["TARVEX_STANDIN_SESSION_FRAMES"] = std::to_string(kFrames);
        environment_["TARVEX_STANDIN_CAPTURE_FRAMES"] = kCapturedFrames;
        environment_["TARVEX_STANDIN_CAPTURE_DIR"] = captures_;
        environment_["VK_ICD_FILENAMES"] = TARVEX_LAVAPIPE_ICD;
        environment_["VK_DRIVER_FILES"] = TARVEX_LAVAPIPE_ICD;
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    std::string dir_;
    std::string captures_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
};

TEST_P(HelloXrViewFront, CubeInFrontOfTheEyesOnlyWithTrackedViewSpaces) {
    const bool option = GetParam();
    e2e::WriteLayerConfig(dir_, std::string(e2e::kLoopbackSettings) +
                                    (option ? "[OPTIONS]\ntrackedviewspace = true\n" : ""));
    ASSERT_TRUE(e2e::StartSimulator(simulator_, {"--path", "circle"}, dir_));
    const e2e::ChildRun run =
        e2e::RunChildWithInputHeld({TARVEX_HELLO_XR_PATH, "--graphics", "Vulkan2"}, environment_,
                                   dir_ + "/hello_xr-output.txt", kHelloXrTimeoutSeconds);
    ASSERT_FALSE(run.timedOut) << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;

    const e2e::Record record = e2e::ReadRecord(dir_ + "/runtime-record.txt");
    ASSERT_EQ(record.capturedViews.size(), 4u);
    for (const e2e::CapturedView& captured : record.capturedViews) {
        SCOPED_TRACE(captured.file);
        const auto image = contact_sheet::ReadPng(captured.file);
        ASSERT_TRUE(image);
        const size_t drawn = DrawnInCentre(*image);
        if (option) {
            EXPECT_GE(drawn, kCubeMinimumPixels)
                << "the ViewFront cube is not in the middle of the image";
        } else {
            EXPECT_EQ(drawn, 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TrackedViewSpace, HelloXrViewFront, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "On" : "Off";
                         });

}  // namespace
