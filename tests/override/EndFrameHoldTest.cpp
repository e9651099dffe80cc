#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "FakeRuntime.h"
#include "OverrideFixture.h"
#include "log/LogFileWriter.h"
#include "override/PoseOverride.h"

// xrEndFrame with the runtime's-views option against a runtime whose views flicker: the last good
// views carry a short run of frames without them, a long run falls back to the tracked views, and
// each switch is noted in the log file alone. Nothing in this program starts the log file's
// writer, so the lines the layer queued for the file are there to be read.

namespace {

constexpr XrTime k90Hz = 11'111'111;

XrResult XRAPI_CALL RuntimeDestroySpace(XrSpace) {
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RuntimeDestroySession(XrSession) {
    return XR_SUCCESS;
}
constexpr int kTracked = -1;

// The runtime's views of frame n: the left eye n metres along x, so that a held view tells which
// frame it came from.
XrPosef RuntimeLeft(int frame) {
    return {{0, 0.2164396f, 0, 0.9762960f}, {static_cast<float>(frame), 1.65f, -0.4f}};
}

// The log file's lines about the switches that the layer queued.
std::vector<std::string> TakeSwitchNotes() {
    std::string text;
    while (LogFileWriter::Instance().Queue().PopInto(
        [&](const char* data, size_t size) { text.append(data, size); })) {
    }
    std::vector<std::string> notes;
    for (size_t begin = 0; begin < text.size();) {
        const size_t end = text.find('\n', begin);
        const std::string line = text.substr(begin, end - begin);
        if (line.rfind("Runtime views:", 0) == 0) {
            notes.push_back(line);
        }
        begin = end == std::string::npos ? text.size() : end + 1;
    }
    return notes;
}

class EndFrameHoldTest : public OverrideFixture {
protected:
    void SetUp() override {
        OverrideFixture::SetUp();
        ASSERT_FALSE(LogFileWriter::Instance().Started()) << "the writer would take the lines";
        TakeSwitchNotes();
        FakeRuntime::Current() = FakeRuntime{};
        Track({1, 1.5f, 2}, kYaw30Q);
        views[0].type = views[1].type = XR_TYPE_COMPOSITION_LAYER_PROJECTION_VIEW;
        views[0].pose = views[1].pose = {kIdentityQ, {0, 1.7f, 0}};
    }

    // The left view the compositor received for frame n of a stereo layer in `space`: the frame
    // the runtime located (or not), at n frame periods.
    XrPosef EndFrame(int frame, bool located, XrTime period = k90Hz,
                     std::vector<XrSpace> spaces = {kStage}) {
        FakeRuntime& runtime = FakeRuntime::Current();
        runtime.locatedPoses[0] = RuntimeLeft(frame);
        runtime.locatedPoses[1] = RuntimeLeft(frame);
        runtime.locatedFlags =
            located ? XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT
                    : XR_VIEW_STATE_ORIENTATION_VALID_BIT;
        std::vector<XrCompositionLayerProjection> layers;
        for (const XrSpace space : spaces) {
            XrCompositionLayerProjection layer{XR_TYPE_COMPOSITION_LAYER_PROJECTION};
            layer.space = space;
            layer.viewCount = 2;
            layer.views = views.data();
            layers.push_back(layer);
        }
        std::vector<const XrCompositionLayerBaseHeader*> headers;
        for (const XrCompositionLayerProjection& layer : layers) {
            headers.push_back(reinterpret_cast<const XrCompositionLayerBaseHeader*>(&layer));
        }
        const XrFrameEndInfo info{XR_TYPE_FRAME_END_INFO,
                                  nullptr,
                                  1'000'000'000 + frame * period,
                                  XR_ENVIRONMENT_BLEND_MODE_OPAQUE,
                                  static_cast<uint32_t>(headers.size()),
                                  headers.data()};
        runtime.receivedViews.clear();
        EXPECT_EQ(EndFrameAtTrackedPose(tracker, &FakeEndFrame, kSession, &info, nullptr,
                                        &FakeLocateViews),
                  XR_SUCCESS);
        EXPECT_EQ(runtime.receivedViews.size(), spaces.size());
        return runtime.receivedViews.empty() ? XrPosef{} : runtime.receivedViews.back()[0].pose;
    }

    // Which frame's runtime views a received left view is, or kTracked for the tracked head.
    static int SourceOf(const XrPosef& left) {
        if (left.position.y == 1.65f) {
            return static_cast<int>(left.position.x);
        }
        EXPECT_NEAR(left.position.y, 1.5f, 1e-5f) << "neither the runtime's views nor tracked";
        return kTracked;
    }

    static inline const XrSession kSession = reinterpret_cast<XrSession>(0x5E1);
    static inline const XrSpace kStage = reinterpret_cast<XrSpace>(0x77);
    std::array<XrCompositionLayerProjectionView, 2> views{};
};

struct FlickerCase {
    const char* name;
    const char* located;  // per frame: 'o' the runtime gave both views, 'x' it did not
    XrTime period;
    std::vector<int> carried;  // per frame: whose runtime views the compositor got, or kTracked
    std::vector<std::string> notes;
};

void PrintTo(const FlickerCase& c, std::ostream* os) {
    *os << c.name;
}

class EndFrameFlickerTest : public EndFrameHoldTest,
                            public testing::WithParamInterface<FlickerCase> {};

TEST_P(EndFrameFlickerTest, ShortGapsKeepTheRuntimesViewsLongOnesFallBack) {
    const FlickerCase& c = GetParam();
    const std::string locatedFrames = c.located;
    ASSERT_EQ(locatedFrames.size(), c.carried.size());
    std::vector<int> carried;
    testing::internal::CaptureStdout();
    for (size_t frame = 0; frame < locatedFrames.size(); ++frame) {
        carried.push_back(
            SourceOf(EndFrame(static_cast<int>(frame), locatedFrames[frame] == 'o', c.period)));
    }
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(carried, c.carried);
    EXPECT_EQ(TakeSwitchNotes(), c.notes);
    EXPECT_EQ(output.find("Runtime views:"), std::string::npos) << "the log file's alone";
}

const std::string kFallBack5 =
    "Runtime views: none for 5 frames in a row; the compositor gets the tracked views (switch 1)";

INSTANTIATE_TEST_SUITE_P(
    Cases, EndFrameFlickerTest,
    testing::Values(
        FlickerCase{"OneBadFrameBetweenGoodOnes", "oxo", k90Hz, {0, 0, 2}, {}},
        FlickerCase{"FourBadFramesAreHeld", "oxxxxo", k90Hz, {0, 0, 0, 0, 0, 5}, {}},
        FlickerCase{"FiveFallBackAndRecoverySwitchesBack",
                    "oxxxxxxoo",
                    k90Hz,
                    {0, 0, 0, 0, 0, kTracked, kTracked, 7, 8},
                    {kFallBack5,
                     "Runtime views: the compositor gets the runtime's own views again, after 2 "
                     "frames of the tracked views (switch 2)"}},
        FlickerCase{"HeldAgainAfterRecovery",
                    "oxxxxxoxo",
                    k90Hz,
                    {0, 0, 0, 0, 0, kTracked, 6, 6, 8},
                    {kFallBack5,
                     "Runtime views: the compositor gets the runtime's own views again, after 1 "
                     "frame of the tracked views (switch 2)"}},
        // At 30 Hz the hundred milliseconds run out before the frames do.
        FlickerCase{"PastTheTimeBound",
                    "oxxxx",
                    33'333'333,
                    {0, 0, 0, 0, kTracked},
                    {"Runtime views: none for 4 frames in a row; the compositor gets the tracked "
                     "views (switch 1)"}},
        FlickerCase{"NoneYetIsTrackedAtOnce",
                    "xxo",
                    k90Hz,
                    {kTracked, kTracked, 2},
                    {"Runtime views: the compositor gets the runtime's own views again, after 2 "
                     "frames of the tracked views (switch 1)"}}),
    [](const auto& param) { return std::string(param.param.name); });

// Views are relative to their layer's space: a space that could not be located gets its own last
// views, never another space's.
TEST_F(EndFrameHoldTest, EachSpaceHoldsItsOwnViews) {
    const XrSpace local = reinterpret_cast<XrSpace>(0x78);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SourceOf(EndFrame(0, true, k90Hz, {kStage})), 0);
    EXPECT_EQ(SourceOf(EndFrame(1, true, k90Hz, {local})), 1);
    EndFrame(2, false, k90Hz, {local, kStage});
    testing::internal::GetCapturedStdout();
    const auto& received = FakeRuntime::Current().receivedViews;
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(SourceOf(received[0][0].pose), 1) << "the local layer";
    EXPECT_EQ(SourceOf(received[1][0].pose), 0) << "the stage layer";
}

// Two layers in one space see one frame: a run of frames without views is counted in frames.
TEST_F(EndFrameHoldTest, TwoLayersInOneSpaceCountOneFrame) {
    testing::internal::CaptureStdout();
    EndFrame(0, true, k90Hz, {kStage, kStage});
    for (int frame = 1; frame <= 4; ++frame) {
        EXPECT_EQ(SourceOf(EndFrame(frame, false, k90Hz, {kStage, kStage})), 0) << frame;
    }
    EXPECT_EQ(SourceOf(EndFrame(5, false, k90Hz, {kStage, kStage})), kTracked);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(TakeSwitchNotes(), std::vector<std::string>{kFallBack5});
}

// A space destroyed, alone or with its session or instance, takes its views along: a runtime may
// hand its handle out again for a space elsewhere.
TEST_F(EndFrameHoldTest, AForgottenSpaceHoldsNothing) {
    const struct {
        const char* name;
        void (*forget)(MocapTracker& owner);
    } cases[] = {
        {"space destroyed",
         [](MocapTracker& owner) {
             EXPECT_EQ(DestroySpaceForgettingViews(owner, &RuntimeDestroySpace, kStage),
                       XR_SUCCESS);
         }},
        {"session destroyed",
         [](MocapTracker& owner) {
             EXPECT_EQ(DestroySessionForgettingViews(owner, &RuntimeDestroySession, kSession),
                       XR_SUCCESS);
         }},
        {"instance destroyed", [](MocapTracker& owner) { owner.runtimeViewHold.Clear(); }},
    };
    int frame = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStdout();
        EndFrame(frame++, true);
        c.forget(tracker);
        EXPECT_EQ(SourceOf(EndFrame(frame++, false)), kTracked);
        EndFrame(frame++, true);
        testing::internal::GetCapturedStdout();
    }
}

// With every place taken, a new space goes without held views until a place has had no frame for
// a second of display time.
TEST_F(EndFrameHoldTest, ATableOfBusySpacesTakesAnIdleOne) {
    testing::internal::CaptureStdout();
    for (uintptr_t i = 0; i < RuntimeViewHold::kCapacity; ++i) {
        EndFrame(0, true, k90Hz, {reinterpret_cast<XrSpace>(0x1000 + i)});
    }
    const XrSpace late = reinterpret_cast<XrSpace>(0x2000);
    EndFrame(1, true, k90Hz, {late});
    EXPECT_EQ(SourceOf(EndFrame(2, false, k90Hz, {late})), kTracked) << "no place yet";
    const int secondLater = 1 + static_cast<int>(RuntimeViewHold::kIdleNanoseconds / k90Hz);
    EndFrame(secondLater, true, k90Hz, {late});
    EXPECT_EQ(SourceOf(EndFrame(secondLater + 1, false, k90Hz, {late})), secondLater);
    testing::internal::GetCapturedStdout();
}

}  // namespace
