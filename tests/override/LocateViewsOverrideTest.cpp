#include <array>
#include <cstring>
#include <ostream>
#include <string>

#include "FakeRuntime.h"
#include "OverrideFixture.h"
#include "override/PoseOverride.h"

namespace {

class LocateViewsOverrideTest : public OverrideFixture {
protected:
    void SetUp() override {
        OverrideFixture::SetUp();
        FakeRuntime::Current() = FakeRuntime{};
        FakeRuntime::Current().locatedPoses[0] = {kYaw10, {-0.035f, 1.7f, 0}};
        FakeRuntime::Current().locatedPoses[1] = {kYaw10, {0.035f, 1.7f, 0}};
        views.fill({XR_TYPE_VIEW});
    }

    XrResult Locate(uint32_t capacity = 2,
                    XrViewConfigurationType type = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO) {
        locateInfo.viewConfigurationType = type;
        return LocateViewsAtTrackedPose(tracker, &FakeLocateViews, XR_NULL_HANDLE, &locateInfo,
                                        &state, capacity, &count, views.data());
    }

    XrViewLocateInfo locateInfo{XR_TYPE_VIEW_LOCATE_INFO};
    XrViewState state{XR_TYPE_VIEW_STATE};
    uint32_t count = 0;
    std::array<XrView, 2> views{};
};

TEST_F(LocateViewsOverrideTest, ReplacesBothPosesAndKeepsEverythingElse) {
    Track({1, 1.5f, 2}, kYaw30Q);
    FakeRuntime::Current().result = XR_SESSION_LOSS_PENDING;

    testing::internal::CaptureStdout();
    EXPECT_EQ(Locate(), XR_SESSION_LOSS_PENDING);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position set\n");

    EXPECT_EQ(count, 2u);
    EXPECT_EQ(state.viewStateFlags, XR_VIEW_STATE_ORIENTATION_VALID_BIT);
    EXPECT_EQ(views[0].type, XR_TYPE_VIEW);
    EXPECT_EQ(views[1].fov.angleLeft, -0.8f);
    ExpectPoseNear(views[0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});
    ExpectPoseNear(views[1].pose, kYaw10, {0.28337f, 1.5f, 2.20541f});

    // Captured once: a runtime that later turns to +50° changes nothing.
    FakeRuntime::Current().locatedPoses[0].orientation = kYaw50;
    const std::array<XrView, 2> first = views;
    testing::internal::CaptureStdout();
    Locate();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::memcmp(&views, &first, sizeof(views)), 0);
}

struct EarlyReturn {
    std::string name;
    XrResult runtimeResult;
    uint32_t capacity;
    uint32_t writtenCount;
    XrViewConfigurationType type;
};

// Test names and failure messages show the case by its name.
void PrintTo(const EarlyReturn& testCase, std::ostream* out) {
    *out << testCase.name;
}

class LocateViewsEarlyReturnTest : public LocateViewsOverrideTest,
                                   public testing::WithParamInterface<EarlyReturn> {};

TEST_P(LocateViewsEarlyReturnTest, LeavesTheRuntimesOutputAndNeverStartsTheTracker) {
    tracker.StorePose({1, 1.5f, 2}, kYaw30Q);  // a pose, but the tracker is not started
    FakeRuntime::Current().result = GetParam().runtimeResult;
    FakeRuntime::Current().writtenViewCount = GetParam().writtenCount;
    views[0].pose = {kYaw50, {7, 7, 7}};
    const std::array<XrView, 2> untouchedByLayer = views;

    testing::internal::CaptureStdout();
    EXPECT_EQ(Locate(GetParam().capacity, GetParam().type), GetParam().runtimeResult);
    // The configuration directory is empty: a start-up would have printed "ini file not found."
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(tracker.initialised.load());
    if (XR_FAILED(GetParam().runtimeResult) || GetParam().capacity == 0) {
        EXPECT_EQ(std::memcmp(&views, &untouchedByLayer, sizeof(views)), 0);
    } else {
        ExpectPoseNear(views[0].pose, kYaw10, {-0.035f, 1.7f, 0}, 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocateViewsEarlyReturnTest,
    testing::Values(
        EarlyReturn{"RuntimeFails", XR_ERROR_SESSION_LOST, 2, 2,
                    XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO},
        EarlyReturn{"CountQuery", XR_SUCCESS, 0, 2, XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO},
        EarlyReturn{"Mono", XR_SUCCESS, 2, 1, XR_VIEW_CONFIGURATION_TYPE_PRIMARY_MONO},
        EarlyReturn{"CapacityOne", XR_SUCCESS, 1, 2, XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO},
        EarlyReturn{"OneViewWritten", XR_SUCCESS, 2, 1, XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO}),
    [](const auto& i) { return i.param.name; });

// A read of the stored pose that frames overtake on every attempt of a round is taken again: the
// views get the tracked head, and the output says "Position set", never "Position not set" while a
// pose is stored.
TEST_F(LocateViewsOverrideTest, AnOvertakenReadStillGivesTheTrackedViews) {
    Track({1, 1.5f, 2}, kYaw30Q);
    OvertakingFrames frames{&tracker, {1, 1.5f, 2}, kYaw30Q, 1, SequenceLatch::kReadAttempts};
    tracker.headset.poses.SetReadPause(&OvertakingFrames::Pause, &frames);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Locate(), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position set\n");
    ExpectPoseNear(views[0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});
}

TEST_F(LocateViewsOverrideTest, BeforeAPoseTheRuntimesPosesPass) {
    tracker.initialised = true;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Locate(), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position not set\n");
    ExpectPoseNear(views[1].pose, kYaw10, {0.035f, 1.7f, 0}, 0.0f);
}

TEST_F(LocateViewsOverrideTest, ABadConfigurationIsReportedAndTheRuntimesPosesKept) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(Locate(), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ini file not found.\n");
    EXPECT_FALSE(tracker.initialised.load());
    ExpectPoseNear(views[0].pose, kYaw10, {-0.035f, 1.7f, 0}, 0.0f);

    // Every call tries the start-up again.
    testing::internal::CaptureStdout();
    Locate();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ini file not found.\n");
}

TEST_F(LocateViewsOverrideTest, ANullLocateInfoIsLeftToTheRuntime) {
    Track({1, 1.5f, 2}, kYaw30Q);
    testing::internal::CaptureStdout();
    EXPECT_EQ(LocateViewsAtTrackedPose(tracker, &FakeLocateViews, XR_NULL_HANDLE, nullptr, &state,
                                       2, &count, views.data()),
              XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
