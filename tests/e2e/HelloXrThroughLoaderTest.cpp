// Khronos' sample application hello_xr, unmodified, rendering with Vulkan on Mesa's software
// driver, through the system's loader, the tracking layer installed as users install it and the
// stand-in runtime, fed by the simulated motion-capture server over loopback. The runtime ends
// the session after a set number of frames and saves the images of chosen frames. The layer uses
// the fixed motion-capture ports, so these tests take the "mocap_ports" lock.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/HeldInputChild.h"
#include "tests/e2e/LayerSetup.h"
#include "tests/e2e/LoaderRun.h"
#include "tests/e2e/OpenXrSdks.h"
#include "tools/contact-sheet/DrawnShare.h"
#include "tools/contact-sheet/PngImage.h"

namespace {

using e2e::kLayerName;
using e2e::kWorkedExamplePose;
using e2e::kWorkedLeft;
using e2e::kWorkedRight;
using e2e::kWorkedSpace;

constexpr int kFrames = 120;
constexpr int kCapturedFrame = 60;
constexpr double kHelloXrTimeoutSeconds = 60.0;

// How near the worked example's poses (e2e::kWorkedLeft, ...) what hello_xr submits must be.
constexpr double kWorkedTolerance = 1e-5;
// A second fixed headset, half a metre to the side and turned the other way.
constexpr const char* kOtherPose = "-0.5,1.6,-2.2,0,-0.1305262,0,0.9914449";

// The spaces hello_xr creates, in its order: the seven it draws a cube in, then its own.
const std::vector<std::string> kHelloXrSpaceTypes = {
    "XR_REFERENCE_SPACE_TYPE_VIEW",  "XR_REFERENCE_SPACE_TYPE_LOCAL",
    "XR_REFERENCE_SPACE_TYPE_STAGE", "XR_REFERENCE_SPACE_TYPE_STAGE",
    "XR_REFERENCE_SPACE_TYPE_STAGE", "XR_REFERENCE_SPACE_TYPE_STAGE",
    "XR_REFERENCE_SPACE_TYPE_STAGE", "XR_REFERENCE_SPACE_TYPE_LOCAL"};

bool SameColour(const uint8_t* a, const uint8_t* b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

using contact_sheet::DrawnPixels;

// The colour most pixels of `image` have.
contact_sheet::Colour CommonestColour(const contact_sheet::RgbImage& image) {
    std::map<contact_sheet::Colour, size_t> counts;
    for (size_t i = 0; i + 3 <= image.pixels.size(); i += 3) {
        ++counts[{image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]}];
    }
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

size_t DifferingPixels(const contact_sheet::RgbImage& a, const contact_sheet::RgbImage& b) {
    size_t differing = 0;
    for (uint32_t y = 0; y < a.height; ++y) {
        for (uint32_t x = 0; x < a.width; ++x) {
            differing += SameColour(a.At(x, y), b.At(x, y)) ? 0 : 1;
        }
    }
    return differing;
}

class HelloXrThroughLoader : public ::testing::Test {
protected:
    void SetUp() override {
        // Missing prerequisites fail the test: they are installed by scripts/install-deps.sh.
        ASSERT_TRUE(std::filesystem::exists(TARVEX_HELLO_XR_PATH))
            << "hello_xr not found (" << TARVEX_HELLO_XR_PATH << "): install libopenxr-utils";
        ASSERT_TRUE(std::filesystem::exists(TARVEX_LAVAPIPE_ICD))
            << "Mesa's software Vulkan driver not found (" << TARVEX_LAVAPIPE_ICD
            << "): install mesa-vulkan-drivers";
        dir_ = e2e::MakeTempDir();
        environment_ = e2e::IsolatedLoaderEnvironment(dir_, RecordPath());
        environment_["TARVEX_STANDIN_RUNTIME_YAW_DEG"] = "10";
        environment_[kSessionFramesVariable] = std::to_string(kFrames);
        environment_["TARVEX_OPENXR_CONFIG"] = dir_;
        // Mesa's software driver alone: no display and no other device is needed or wanted.
        environment_["VK_ICD_FILENAMES"] = TARVEX_LAVAPIPE_ICD;
        environment_["VK_DRIVER_FILES"] = TARVEX_LAVAPIPE_ICD;
        e2e::WriteLayerConfig(dir_, e2e::kLoopbackSettings);
        e2e::InstallImplicitLayer(dir_, environment_);
    }
    void TearDown() override { e2e::StopAndCleanUp(simulator_, dir_, HasFailure()); }

    static constexpr const char* kSessionFramesVariable = "TARVEX_STANDIN_SESSION_FRAMES";

    std::string RecordPath() const { return dir_ + "/runtime-record.txt"; }

    void StartSimulator(const std::string& pose) {
        e2e::StartSimulator(simulator_, {"--pose", pose}, dir_);
    }

    e2e::ChildRun RunHelloXr(const std::string& graphics = "Vulkan2") {
        const e2e::ChildRun run =
            e2e::RunChildWithInputHeld({helloXr_, "--graphics", graphics}, environment_,
                                       dir_ + "/hello_xr-output.txt", kHelloXrTimeoutSeconds);
        EXPECT_FALSE(run.timedOut) << run.output;
        return run;
    }

    // The whole session, every frame accepted, and the layer's poses in every projection view.
    void ExpectFullSessionWithWorkedExampleViews() {
        const e2e::Record record = e2e::ReadRecord(RecordPath());
        EXPECT_EQ(record.sessionStates, e2e::FullSessionStates());
        ASSERT_EQ(record.endFrameResults.size(), static_cast<size_t>(kFrames));
        ASSERT_EQ(record.submitted.size(), static_cast<size_t>(kFrames));
        for (size_t i = 0; i < record.submitted.size(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i + 1));
            EXPECT_EQ(record.endFrameResults[i], "XR_SUCCESS");
            e2e::ExpectPose(record.submitted[i].left, kWorkedLeft, kWorkedTolerance, "left view");
            e2e::ExpectPose(record.submitted[i].right, kWorkedRight, kWorkedTolerance,
                            "right view");
            if (HasFailure()) {
                return;  // one frame's report is enough
            }
        }
    }

    // The two images the runtime saved of the captured frame, left then right.
    std::vector<contact_sheet::RgbImage> CapturedImages() {
        const e2e::Record record = e2e::ReadRecord(RecordPath());
        std::vector<contact_sheet::RgbImage> images;
        EXPECT_EQ(record.capturedViews.size(), 2u);
        for (const e2e::CapturedView& captured : record.capturedViews) {
            EXPECT_EQ(captured.frame, static_cast<uint32_t>(kCapturedFrame));
            EXPECT_EQ(captured.view, images.size());
            auto image = contact_sheet::ReadPng(captured.file);
            if (!image) {
                ADD_FAILURE() << "cannot read " << captured.file;
                return {};
            }
            images.push_back(std::move(*image));
        }
        return images;
    }

    std::string dir_;
    e2e::Environment environment_;
    std::unique_ptr<e2e::BackgroundChild> simulator_;
    std::string helloXr_ = TARVEX_HELLO_XR_PATH;
};

// Both Vulkan bindings hello_xr offers: XR_KHR_vulkan_enable2 and XR_KHR_vulkan_enable; each SDK's
// hello_xr through its own loader.
struct GraphicsCase {
    const e2e::OpenXrSdk& (*sdk)();
    const char* graphics;
};

void PrintTo(const GraphicsCase& c, std::ostream* out) {
    *out << c.sdk().name << " " << c.graphics;
}

class HelloXrGraphics : public HelloXrThroughLoader,
                        public ::testing::WithParamInterface<GraphicsCase> {};

TEST_P(HelloXrGraphics, RendersTheSetFramesAndExitsWithStatusZero) {
    const e2e::OpenXrSdk& sdk = GetParam().sdk();
    e2e::ExpectLoaderPresent(sdk);
    e2e::ExpectHelloXrPresent(sdk);
    ASSERT_FALSE(HasFailure());
    e2e::UseLoaderOf(sdk, environment_, dir_);
    helloXr_ = sdk.helloXr;
    StartSimulator(kWorkedExamplePose);
    const e2e::ChildRun run = RunHelloXr(GetParam().graphics);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically "
                              "loaded library initialized."),
              std::string::npos)
        << run.output;
    ExpectFullSessionWithWorkedExampleViews();
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
}

INSTANTIATE_TEST_SUITE_P(Bindings, HelloXrGraphics,
                         ::testing::Values(GraphicsCase{&e2e::Debian12Sdk, "Vulkan2"},
                                           GraphicsCase{&e2e::Debian12Sdk, "Vulkan"},
                                           GraphicsCase{&e2e::Sdk1_1_47, "Vulkan2"},
                                           GraphicsCase{&e2e::Sdk1_1_47, "Vulkan"}),
                         [](const ::testing::TestParamInfo<GraphicsCase>& param) {
                             return std::string(param.param.sdk().name) + param.param.graphics;
                         });

TEST_F(HelloXrThroughLoader, EveryReferenceSpaceGetsTheLayersOffset) {
    StartSimulator(kWorkedExamplePose);
    const e2e::ChildRun run = RunHelloXr();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const e2e::Record record = e2e::ReadRecord(RecordPath());
    ASSERT_EQ(record.referenceSpaces.size(), kHelloXrSpaceTypes.size());
    for (size_t i = 0; i < record.referenceSpaces.size(); ++i) {
        const std::string& line = record.referenceSpaces[i];
        SCOPED_TRACE(line);
        // The type hello_xr asked for, the offset replaced whatever hello_xr gave.
        EXPECT_TRUE(line.starts_with("reference_space type=" + kHelloXrSpaceTypes[i] + " "));
        const auto pose = e2e::ReferenceSpacePose(line);
        ASSERT_TRUE(pose);
        e2e::ExpectPose(*pose, kWorkedSpace, kWorkedTolerance, "reference space offset");
    }
}

// Core validation checks every call on its side of the tracking layer: above it what hello_xr
// does, below it what the layer hands the runtime. The loader puts implicit layers nearest the
// application, before the explicit ones the environment enables; so validation goes below the
// layer installed as users install it, and above it when both are enabled explicitly in that
// order. Each SDK's hello_xr, loader and core validation: Debian 12's and the 1.1.47 one.
class HelloXrCoreValidation : public HelloXrThroughLoader,
                              public ::testing::WithParamInterface<e2e::SdkValidationCase> {};

TEST_P(HelloXrCoreValidation, ReportsNothingOverTheRun) {
    const e2e::OpenXrSdk& sdk = GetParam().sdk();
    const bool validationAbove = GetParam().validationAbove;
    const std::string reportFile = e2e::StackCoreValidation(environment_, dir_, GetParam());
    ASSERT_FALSE(reportFile.empty());
    helloXr_ = sdk.helloXr;
    StartSimulator(kWorkedExamplePose);
    const e2e::ChildRun run = RunHelloXr();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    e2e::ExpectCoreValidationSilent(run, validationAbove, reportFile);
    ExpectFullSessionWithWorkedExampleViews();
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
}

INSTANTIATE_TEST_SUITE_P(Order, HelloXrCoreValidation,
                         ::testing::ValuesIn(e2e::EverySdkValidationCase()),
                         e2e::SdkValidationCaseName);

TEST_F(HelloXrThroughLoader, RenderedImagesShowTheSceneAndFollowTheHeadset) {
    environment_["TARVEX_STANDIN_CAPTURE_FRAMES"] = std::to_string(kCapturedFrame);
    std::vector<std::vector<contact_sheet::RgbImage>> poses;
    for (const char* pose : {kWorkedExamplePose, kOtherPose}) {
        SCOPED_TRACE(pose);
        const std::string captures = dir_ + "/captures-" + std::to_string(poses.size());
        std::filesystem::create_directory(captures);
        environment_["TARVEX_STANDIN_CAPTURE_DIR"] = captures;
        StartSimulator(pose);
        const e2e::ChildRun run = RunHelloXr();
        ASSERT_EQ(run.exitCode, 0) << run.output;
        poses.push_back(CapturedImages());
        ASSERT_EQ(poses.back().size(), 2u);
    }
    for (const auto& images : poses) {
        for (const contact_sheet::RgbImage& image : images) {
            // The recommended size, with hello_xr's cubes drawn on a few thousand pixels of it.
            ASSERT_EQ(image.width, 1024u);
            ASSERT_EQ(image.height, 1024u);
            EXPECT_GT(DrawnPixels(image), image.width * image.height / 500);
        }
        // The eyes see the cubes from 64 mm apart.
        EXPECT_GT(DifferingPixels(images[0], images[1]), 0u);
    }
    // Another headset pose, another picture.
    EXPECT_GT(DifferingPixels(poses[0][0], poses[1][0]), 1024u * 1024u / 500);
    EXPECT_GT(DifferingPixels(poses[0][1], poses[1][1]), 1024u * 1024u / 500);
}

// What the contact sheet reports of each SDK's hello_xr frames: the background it measures against
// is the colour the frame was cleared to, whatever that SDK clears to, and the cubes cover a small
// share of the image.
class HelloXrFramesOfEachSdk : public HelloXrThroughLoader,
                               public ::testing::WithParamInterface<e2e::SdkOf> {};

TEST_P(HelloXrFramesOfEachSdk, DrawnShareIsTheScenesAgainstTheClearedBackground) {
    const e2e::OpenXrSdk& sdk = GetParam()();
    e2e::ExpectLoaderPresent(sdk);
    e2e::ExpectHelloXrPresent(sdk);
    ASSERT_FALSE(HasFailure());
    e2e::UseLoaderOf(sdk, environment_, dir_);
    helloXr_ = sdk.helloXr;
    environment_["TARVEX_STANDIN_CAPTURE_FRAMES"] = std::to_string(kCapturedFrame);
    environment_["TARVEX_STANDIN_CAPTURE_DIR"] = dir_;
    StartSimulator(kWorkedExamplePose);
    const e2e::ChildRun run = RunHelloXr();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<contact_sheet::RgbImage> images = CapturedImages();
    ASSERT_EQ(images.size(), 2u);
    for (const contact_sheet::RgbImage& image : images) {
        EXPECT_EQ(contact_sheet::ClearedColour(image), CommonestColour(image));
        EXPECT_GT(contact_sheet::DrawnShare(image), 0.002);
        EXPECT_LT(contact_sheet::DrawnShare(image), 0.05);
    }
    e2e::ExpectRanThroughLoaderOf(sdk, dir_);
}

INSTANTIATE_TEST_SUITE_P(Sdks, HelloXrFramesOfEachSdk,
                         ::testing::Values(&e2e::Debian12Sdk, &e2e::Sdk1_1_47),
                         [](const ::testing::TestParamInfo<e2e::SdkOf>& param) {
                             return std::string(param.param().name);
                         });

}  // namespace
