#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "FakeRuntime.h"
#include "OverrideFixture.h"
#include "override/PoseOverride.h"

namespace {

XrCompositionLayerProjectionView View(float x) {
    XrCompositionLayerProjectionView view{XR_TYPE_COMPOSITION_LAYER_PROJECTION_VIEW};
    view.pose = {kYaw10, {x, 1.7f, 0}};
    view.fov = {-0.8f, 0.7f, 0.6f, -0.5f};
    view.subImage.imageRect = {{0, 0}, {640, 480}};
    view.subImage.imageArrayIndex = 1;
    return view;
}

XrCompositionLayerProjection Projection(const XrCompositionLayerProjectionView* views,
                                        uint32_t count) {
    XrCompositionLayerProjection layer{XR_TYPE_COMPOSITION_LAYER_PROJECTION};
    layer.space = reinterpret_cast<XrSpace>(0x33);
    layer.viewCount = count;
    layer.views = views;
    return layer;
}

const XrCompositionLayerBaseHeader* Header(const void* layer) {
    return static_cast<const XrCompositionLayerBaseHeader*>(layer);
}

class EndFrameOverrideTest : public OverrideFixture {
protected:
    void SetUp() override {
        OverrideFixture::SetUp();
        FakeRuntime::Current() = FakeRuntime{};
        views.fill(View(-0.035f));
        views[1] = View(0.035f);
    }

    XrResult End(const std::vector<const XrCompositionLayerBaseHeader*>& layers) {
        frame.layerCount = static_cast<uint32_t>(layers.size());
        frame.layers = layers.empty() ? nullptr : layers.data();
        return EndFrameAtTrackedPose(tracker, &FakeEndFrame, XR_NULL_HANDLE, &frame);
    }

    XrFrameEndInfo frame{XR_TYPE_FRAME_END_INFO, nullptr, 1234, XR_ENVIRONMENT_BLEND_MODE_OPAQUE};
    std::array<XrCompositionLayerProjectionView, 4> views{};
};

TEST_F(EndFrameOverrideTest, StereoLayersAreCopiedWithTrackedPosesAndOthersPassAsGiven) {
    Track({1, 1.5f, 2}, kYaw30Q);
    int viewChain = 0;
    views[0].next = &viewChain;
    const XrCompositionLayerProjection stereo = Projection(views.data(), 2);
    const XrCompositionLayerProjection mono = Projection(views.data(), 1);
    const XrCompositionLayerProjection quadView = Projection(views.data(), 4);
    const XrCompositionLayerProjection noViews = Projection(nullptr, 2);
    XrCompositionLayerQuad quad{XR_TYPE_COMPOSITION_LAYER_QUAD};
    const std::vector<const XrCompositionLayerBaseHeader*> submitted{
        Header(&stereo),   Header(&quad),    Header(&mono),
        Header(&quadView), Header(&noViews), nullptr};
    const auto viewsBefore = views;
    const auto stereoBefore = stereo;

    testing::internal::CaptureStdout();
    EXPECT_EQ(End(submitted), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position set\n");

    const FakeRuntime& runtime = FakeRuntime::Current();
    ASSERT_EQ(runtime.receivedLayers.size(), submitted.size());
    EXPECT_NE(runtime.receivedLayers[0], submitted[0]) << "the stereo layer must be a copy";
    for (size_t i = 1; i < submitted.size(); ++i) {
        EXPECT_EQ(runtime.receivedLayers[i], submitted[i]) << "layer " << i;
    }
    EXPECT_EQ(runtime.receivedFrame.displayTime, 1234);
    EXPECT_EQ(runtime.receivedFrame.environmentBlendMode, XR_ENVIRONMENT_BLEND_MODE_OPAQUE);

    const XrCompositionLayerProjection& copy = runtime.receivedProjections[0];
    EXPECT_EQ(copy.space, stereo.space);
    EXPECT_NE(copy.views, stereo.views);
    const auto& copiedViews = runtime.receivedViews[0];
    ExpectPoseNear(copiedViews[0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});
    ExpectPoseNear(copiedViews[1].pose, kYaw10, {0.28337f, 1.5f, 2.20541f});
    EXPECT_EQ(copiedViews[0].next, &viewChain);
    EXPECT_EQ(copiedViews[1].fov.angleUp, 0.6f);
    EXPECT_EQ(copiedViews[1].subImage.imageRect.extent.width, 640);
    EXPECT_EQ(copiedViews[1].subImage.imageArrayIndex, 1u);

    EXPECT_EQ(std::memcmp(&views, &viewsBefore, sizeof(views)), 0) << "application's views changed";
    EXPECT_EQ(std::memcmp(&stereo, &stereoBefore, sizeof(stereo)), 0);
}

TEST_F(EndFrameOverrideTest, TwoStereoLayersGetTheSamePoses) {
    Track({1, 1.5f, 2}, kYaw30Q);
    const XrCompositionLayerProjection first = Projection(views.data(), 2);
    const XrCompositionLayerProjection second = Projection(views.data() + 2, 2);

    testing::internal::CaptureStdout();
    End({Header(&first), Header(&second)});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position set\nPosition set\n");

    const auto& received = FakeRuntime::Current().receivedViews;
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(std::memcmp(&received[0][0].pose, &received[1][0].pose, sizeof(XrPosef)), 0);
    EXPECT_EQ(std::memcmp(&received[0][1].pose, &received[1][1].pose, sizeof(XrPosef)), 0);
}

TEST_F(EndFrameOverrideTest, BeforeAPoseTheCopiesKeepTheApplicationsPoses) {
    const XrCompositionLayerProjection stereo = Projection(views.data(), 2);
    testing::internal::CaptureStdout();
    End({Header(&stereo)});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position not set\n");
    ExpectPoseNear(FakeRuntime::Current().receivedViews[0][1].pose, kYaw10, {0.035f, 1.7f, 0},
                   0.0f);
    EXPECT_FALSE(tracker.initialised.load()) << "ending a frame never starts the tracker";
}

TEST_F(EndFrameOverrideTest, AnEmptyFrameReachesTheRuntimeWithoutOverride) {
    Track({1, 1.5f, 2}, kYaw30Q);
    testing::internal::CaptureStdout();
    EXPECT_EQ(End({}), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(FakeRuntime::Current().receivedFrame.layerCount, 0u);
    EXPECT_FALSE(tracker.CapturedYawCorrection());
}

TEST_F(EndFrameOverrideTest, MoreLayersThanTheInlineRoomKeepTheirOrder) {
    Track({1, 1.5f, 2}, kYaw30Q);
    std::vector<XrCompositionLayerProjection> stereo(20, Projection(views.data(), 2));
    std::vector<XrCompositionLayerQuad> quads(
        20, XrCompositionLayerQuad{XR_TYPE_COMPOSITION_LAYER_QUAD});
    std::vector<const XrCompositionLayerBaseHeader*> submitted;
    for (size_t i = 0; i < stereo.size(); ++i) {
        submitted.push_back(Header(&stereo[i]));
        submitted.push_back(Header(&quads[i]));
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(End(submitted), XR_SUCCESS);
    testing::internal::GetCapturedStdout();

    const FakeRuntime& runtime = FakeRuntime::Current();
    ASSERT_EQ(runtime.receivedLayers.size(), 40u);
    for (size_t i = 0; i < stereo.size(); ++i) {
        EXPECT_EQ(runtime.receivedLayers[2 * i + 1], submitted[2 * i + 1]);
        ExpectPoseNear(runtime.receivedViews[i][0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});
    }
}

TEST_F(EndFrameOverrideTest, InvalidFramesAreLeftToTheRuntime) {
    EXPECT_EQ(EndFrameAtTrackedPose(tracker, &FakeEndFrame, XR_NULL_HANDLE, nullptr),
              XR_ERROR_VALIDATION_FAILURE);
    EXPECT_TRUE(FakeRuntime::Current().frameEndInfoWasNull);

    frame.layerCount = 3;
    frame.layers = nullptr;
    EXPECT_EQ(EndFrameAtTrackedPose(tracker, &FakeEndFrame, XR_NULL_HANDLE, &frame), XR_SUCCESS);
    EXPECT_EQ(FakeRuntime::Current().receivedFrame.layers, nullptr);
}

// Frames around the 16 layers kept without allocation: at, below and just above that room, and
// well above it; either every layer is stereo or stereo and quad layers alternate.
class EndFrameLayerCountTest : public EndFrameOverrideTest,
                               public testing::WithParamInterface<std::tuple<uint32_t, bool>> {};

TEST_P(EndFrameLayerCountTest, EveryLayerReachesTheRuntimeInOrderWithStereoViewsReplaced) {
    const auto [count, alternate] = GetParam();
    Track({1, 1.5f, 2}, kYaw30Q);
    std::vector<XrCompositionLayerProjection> stereo;
    std::vector<XrCompositionLayerQuad> quads;
    stereo.reserve(count);
    quads.reserve(count);
    std::vector<const XrCompositionLayerBaseHeader*> submitted;
    std::vector<bool> isStereo;
    for (uint32_t i = 0; i < count; ++i) {
        if (alternate && i % 2 == 1) {
            quads.push_back(XrCompositionLayerQuad{XR_TYPE_COMPOSITION_LAYER_QUAD});
            submitted.push_back(Header(&quads.back()));
            isStereo.push_back(false);
        } else {
            stereo.push_back(Projection(views.data(), 2));
            // Each stereo layer carries its own space, which tells the copies apart.
            stereo.back().space = reinterpret_cast<XrSpace>(uintptr_t{0x100} + i);
            submitted.push_back(Header(&stereo.back()));
            isStereo.push_back(true);
        }
    }

    testing::internal::CaptureStdout();
    EXPECT_EQ(End(submitted), XR_SUCCESS);
    const std::string output = testing::internal::GetCapturedStdout();

    std::string expectedOutput;
    for (size_t i = 0; i < stereo.size(); ++i) {
        expectedOutput += "Position set\n";
    }
    EXPECT_EQ(output, expectedOutput);
    const FakeRuntime& runtime = FakeRuntime::Current();
    EXPECT_EQ(runtime.endFrameCalls, 1);
    EXPECT_EQ(runtime.receivedFrame.layerCount, count);
    ASSERT_EQ(runtime.receivedLayers.size(), count);
    ASSERT_EQ(runtime.receivedProjections.size(), stereo.size());
    size_t stereoSeen = 0;
    for (uint32_t i = 0; i < count; ++i) {
        SCOPED_TRACE("layer " + std::to_string(i));
        if (!isStereo[i]) {
            EXPECT_EQ(runtime.receivedLayers[i], submitted[i]);
            continue;
        }
        EXPECT_NE(runtime.receivedLayers[i], submitted[i]) << "a stereo layer must be a copy";
        const XrCompositionLayerProjection& copy = runtime.receivedProjections[stereoSeen];
        EXPECT_EQ(copy.space, reinterpret_cast<XrSpace>(uintptr_t{0x100} + i));
        ASSERT_EQ(copy.viewCount, 2u);
        const auto& copiedViews = runtime.receivedViews[stereoSeen];
        ExpectPoseNear(copiedViews[0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});
        ExpectPoseNear(copiedViews[1].pose, kYaw10, {0.28337f, 1.5f, 2.20541f});
        ++stereoSeen;
    }
}

INSTANTIATE_TEST_SUITE_P(AroundTheInlineRoom, EndFrameLayerCountTest,
                         testing::Combine(testing::Values(0u, 1u, 15u, 16u, 17u, 40u),
                                          testing::Bool()),
                         [](const auto& testCase) {
                             return std::to_string(std::get<0>(testCase.param)) + "Layers" +
                                    (std::get<1>(testCase.param) ? "StereoAndQuad" : "AllStereo");
                         });

// With the runtime's-views option the compositor gets the runtime's own views of the frame, located
// at its display time in the layer's space; when the runtime cannot give both poses, that frame
// keeps the tracked views and the layer says so once.
struct RuntimeViewsCase {
    const char* name;
    XrResult locateResult;
    uint32_t locatedCount;
    XrViewStateFlags locatedFlags;
    bool runtimeViewsSubmitted;
};

void PrintTo(const RuntimeViewsCase& c, std::ostream* out) {
    *out << c.name;
}

class EndFrameRuntimeViewsTest : public EndFrameOverrideTest,
                                 public testing::WithParamInterface<RuntimeViewsCase> {};

constexpr XrViewStateFlags kBothValid =
    XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT;
constexpr XrPosef kRuntimeLeft{{0, 0.2164396f, 0, 0.9762960f}, {0.2f, 1.65f, -0.4f}};
constexpr XrPosef kRuntimeRight{{0, 0.2164396f, 0, 0.9762960f}, {0.27f, 1.65f, -0.43f}};

TEST_P(EndFrameRuntimeViewsTest, SubmitsTheRuntimesViewsOrTheTrackedOnes) {
    const RuntimeViewsCase& c = GetParam();
    Track({1, 1.5f, 2}, kYaw30Q);
    FakeRuntime& runtime = FakeRuntime::Current();
    runtime.locatedPoses[0] = kRuntimeLeft;
    runtime.locatedPoses[1] = kRuntimeRight;
    runtime.locateViewsResult = c.locateResult;
    runtime.writtenViewCount = c.locatedCount;
    runtime.locatedFlags = c.locatedFlags;
    XrCompositionLayerProjection stereo = Projection(views.data(), 2);
    stereo.space = reinterpret_cast<XrSpace>(0x77);
    XrCompositionLayerQuad quad{XR_TYPE_COMPOSITION_LAYER_QUAD};
    frame.layerCount = 2;
    const XrCompositionLayerBaseHeader* layers[] = {Header(&stereo), Header(&quad)};
    frame.layers = layers;

    testing::internal::CaptureStdout();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(EndFrameAtTrackedPose(tracker, &FakeEndFrame, XR_NULL_HANDLE, &frame, nullptr,
                                        &FakeLocateViews),
                  XR_SUCCESS);
    }
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(runtime.locateViewsCalls, 2);
    EXPECT_EQ(runtime.receivedLocateInfo.type, XR_TYPE_VIEW_LOCATE_INFO);
    EXPECT_EQ(runtime.receivedLocateInfo.viewConfigurationType,
              XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO);
    EXPECT_EQ(runtime.receivedLocateInfo.displayTime, 1234);
    EXPECT_EQ(runtime.receivedLocateInfo.space, stereo.space);
    ASSERT_EQ(runtime.receivedViews.size(), 2u);
    ASSERT_EQ(runtime.receivedLayers.size(), 2u);
    EXPECT_EQ(runtime.receivedLayers[1], Header(&quad));
    const auto& copiedViews = runtime.receivedViews[1];
    // Everything but the poses stays the application's.
    EXPECT_EQ(copiedViews[1].fov.angleUp, 0.6f);
    EXPECT_EQ(copiedViews[1].subImage.imageRect.extent.width, 640);
    EXPECT_EQ(copiedViews[1].subImage.imageArrayIndex, 1u);
    if (c.runtimeViewsSubmitted) {
        ExpectPoseNear(copiedViews[0].pose, kRuntimeLeft.orientation, kRuntimeLeft.position, 0.0f);
        ExpectPoseNear(copiedViews[1].pose, kRuntimeRight.orientation, kRuntimeRight.position,
                       0.0f);
        EXPECT_EQ(output, "");
    } else {
        ExpectPoseNear(copiedViews[0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});
        ExpectPoseNear(copiedViews[1].pose, kYaw10, {0.28337f, 1.5f, 2.20541f});
        EXPECT_EQ(output, "The runtime gave no views of its own at xrEndFrame (result " +
                              std::to_string(XR_FAILED(c.locateResult) ? c.locateResult : 0) +
                              ", view state " +
                              std::to_string(XR_FAILED(c.locateResult) ? 0 : c.locatedFlags) +
                              "): frames it cannot locate carry the tracked views\n"
                              "Position set\nPosition set\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runtime, EndFrameRuntimeViewsTest,
    testing::Values(RuntimeViewsCase{"BothPosesValid", XR_SUCCESS, 2, kBothValid, true},
                    RuntimeViewsCase{"LocateFails", XR_ERROR_SESSION_NOT_RUNNING, 2, kBothValid,
                                     false},
                    RuntimeViewsCase{"PositionInvalid", XR_SUCCESS, 2,
                                     XR_VIEW_STATE_ORIENTATION_VALID_BIT, false},
                    RuntimeViewsCase{"OrientationInvalid", XR_SUCCESS, 2,
                                     XR_VIEW_STATE_POSITION_VALID_BIT, false},
                    RuntimeViewsCase{"OneView", XR_SUCCESS, 1, kBothValid, false}),
    [](const testing::TestParamInfo<RuntimeViewsCase>& test) {
        return std::string(test.param.name);
    });

}  // namespace
