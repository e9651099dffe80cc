#include <array>
#include <ostream>
#include <string>
#include <utility>

#include "FakeRuntime.h"
#include "OverrideFixture.h"
#include "override/PoseOverride.h"
#include "platform/Platform.h"

namespace {

// The worked example's head: stored yaw +30 at (1, 1.5, 2), runtime's first view at yaw +10, so
// the head gets yaw +10 and the position between the two eyes of the example.
constexpr XrVector3f kHeadPosition{0.255655f, 1.5f, 2.22141f};

constexpr XrViewStateFlags kAllViewBits =
    XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT |
    XR_VIEW_STATE_ORIENTATION_TRACKED_BIT | XR_VIEW_STATE_POSITION_TRACKED_BIT;
constexpr XrViewStateFlags kValidBits =
    XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT;

// The runtime below for spaces: locates everything at a pose of its own, all bits set.
const XrPosef kRuntimeSpacePose{{0, 0, 0, 1}, {9, 9, 9}};
std::vector<XrSpace> destroyedSpaces;

XrResult XRAPI_CALL RuntimeLocateSpace(XrSpace, XrSpace, XrTime, XrSpaceLocation* location) {
    location->pose = kRuntimeSpacePose;
    location->locationFlags =
        XR_SPACE_LOCATION_ORIENTATION_VALID_BIT | XR_SPACE_LOCATION_POSITION_VALID_BIT |
        XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT | XR_SPACE_LOCATION_POSITION_TRACKED_BIT;
    return XR_SUCCESS;
}

XrResult destroyResult = XR_SUCCESS;  // what the runtime answers to xrDestroySpace and -Session

XrResult XRAPI_CALL RuntimeDestroySpace(XrSpace space) {
    destroyedSpaces.push_back(space);
    return destroyResult;
}

XrResult XRAPI_CALL RuntimeDestroySession(XrSession) {
    return destroyResult;
}

// A handle the runtime hands out once more, as runtimes do with the handles of destroyed objects;
// null: a new one.
XrSpace reusedHandle = XR_NULL_HANDLE;

XrResult XRAPI_CALL RuntimeCreateSpace(XrSession, const XrReferenceSpaceCreateInfo*,
                                       XrSpace* space) {
    static uintptr_t next = 0x100;
    *space = reusedHandle != XR_NULL_HANDLE ? std::exchange(reusedHandle, XR_NULL_HANDLE)
                                            : reinterpret_cast<XrSpace>(next++);
    return XR_SUCCESS;
}

// A clock that puts every display time 20 ms after the newest stored sample.
double clockTarget = 0.0;
bool TwentyMillisecondsAhead(XrTime, double* seconds) {
    *seconds = clockTarget;
    return true;
}
bool NoConversion(XrTime, double*) {
    return false;
}

const XrSession kSession = reinterpret_cast<XrSession>(0x5E1);
const XrSession kLaterSession = reinterpret_cast<XrSession>(0x5E2);

// The head 1 m in front of the worked example's head: yaw +10 turns (0, 0, -1) to
// (-sin 10, 0, -cos 10).
constexpr XrVector3f kOneMetreAhead{kHeadPosition.x - 0.1736482f, 1.5f,
                                    kHeadPosition.z - 0.9848078f};

class OptionsOverrideTest : public OverrideFixture {
protected:
    void SetUp() override {
        OverrideFixture::SetUp();
        FakeRuntime::Current() = FakeRuntime{};
        FakeRuntime::Current().locatedPoses[0] = {kYaw10, {-0.035f, 1.7f, 0}};
        FakeRuntime::Current().locatedPoses[1] = {kYaw10, {0.035f, 1.7f, 0}};
        views.fill({XR_TYPE_VIEW});
        destroyedSpaces.clear();
        destroyResult = XR_SUCCESS;
        reusedHandle = XR_NULL_HANDLE;
        Track({1, 1.5f, 2}, kYaw30Q);
        tracker.headset.newestFrameTime = platform::MonotonicSeconds();
    }

    XrResult Locate(DisplayClock clock = nullptr) {
        state.viewStateFlags = 0;
        locateInfo.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        return LocateViewsAtTrackedPose(tracker, &FakeLocateViews, XR_NULL_HANDLE, &locateInfo,
                                        &state, 2, &count, views.data(), clock);
    }

    XrSpace CreateSpace(XrReferenceSpaceType type, const XrVector3f& offset = {0, 0, 0},
                        XrSession session = kSession) {
        XrReferenceSpaceCreateInfo info{XR_TYPE_REFERENCE_SPACE_CREATE_INFO};
        info.referenceSpaceType = type;
        info.poseInReferenceSpace = {kIdentityQ, offset};
        XrSpace space = XR_NULL_HANDLE;
        EXPECT_EQ(CreateReferenceSpaceAtTrackedPose(
                      tracker, &RuntimeCreateSpace, [] {}, session, &info, &space),
                  XR_SUCCESS);
        return space;
    }

    XrSpaceLocation LocateSpace(XrSpace space, XrSpace base) {
        XrSpaceLocation location{XR_TYPE_SPACE_LOCATION};
        EXPECT_EQ(LocateSpaceAtTrackedPose(tracker, &RuntimeLocateSpace, space, base, 0, &location),
                  XR_SUCCESS);
        return location;
    }

    XrViewLocateInfo locateInfo{XR_TYPE_VIEW_LOCATE_INFO};
    XrViewState state{XR_TYPE_VIEW_STATE};
    uint32_t count = 0;
    std::array<XrView, 2> views{};
};

TEST_F(OptionsOverrideTest, TrackingLossClearsTheTrackedBitsOnlyWhileFramesAreLate) {
    FakeRuntime::Current().result = XR_SUCCESS;
    // The layer's views, and the runtime's own ones that stay when there is no pose to give.
    const XrPosef tracked{kYaw10, {0.22794f, 1.5f, 2.23741f}};
    const XrPosef runtimes{kYaw10, {0, 1.7f, 0}};
    const struct {
        const char* name;
        float thresholdMs;
        double frameAgeSeconds;
        XrViewStateFlags expected;
        bool poseStored = true;
    } cases[] = {
        {"option off, stream stopped", 0.0f, 5.0, kAllViewBits},
        {"fresh frame", 100.0f, 0.0, kAllViewBits},
        {"frame older than the threshold", 100.0f, 0.5, kValidBits},
        // The runtime's own views keep the runtime's own bits: only the layer's pose is lost.
        {"no pose stored yet, none ever came", 100.0f, 5.0, kAllViewBits, false},
    };
    for (const auto& c : cases) {
        tracker.options.trackingLossMs = c.thresholdMs;
        tracker.SetPoseValid(c.poseStored);
        tracker.headset.newestFrameTime = platform::MonotonicSeconds() - c.frameAgeSeconds;
        testing::internal::CaptureStdout();
        // The fake runtime reports all four bits when its views are tracked.
        XrViewState runtimeState{XR_TYPE_VIEW_STATE};
        runtimeState.viewStateFlags = kAllViewBits;
        locateInfo.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        const auto locate = [](XrSession, const XrViewLocateInfo*, XrViewState* s, uint32_t,
                               uint32_t* n, XrView* v) -> XrResult {
            s->viewStateFlags = kAllViewBits;
            *n = 2;
            v[0].pose = v[1].pose = {kYaw10, {0, 1.7f, 0}};
            return XR_SUCCESS;
        };
        EXPECT_EQ(LocateViewsAtTrackedPose(tracker, locate, XR_NULL_HANDLE, &locateInfo,
                                           &runtimeState, 2, &count, views.data()),
                  XR_SUCCESS);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  c.poseStored ? "Position set\n" : "Position not set\n")
            << c.name;
        EXPECT_EQ(runtimeState.viewStateFlags, c.expected) << c.name;
        // The last pose is kept, lost or not.
        const XrPosef& expected = c.poseStored ? tracked : runtimes;
        ExpectPoseNear(views[0].pose, expected.orientation, expected.position);
    }
}

TEST_F(OptionsOverrideTest, PredictionMovesTheViewsToTheDisplayTime) {
    // Samples are stored in the layer's axes: a head moving at 1 m/s along +X, each frame
    // arriving 240 Hz after the one before. Their arrivals are stamped a minute ahead, so that
    // however long this machine takes to reach the calls, the stream never looks silent.
    tracker.options.predictDisplayTime = true;
    const double newest = platform::MonotonicSeconds();
    for (int i = 7; i >= 0; --i) {
        const double t = newest - i / 240.0;
        tracker.headset.history.Append(
            {t, {static_cast<float>(1.0 + (t - newest)), 1.5f, 2.0f}, kYaw30Q, t + 60.0});
    }
    clockTarget = newest + 0.020;

    testing::internal::CaptureStdout();
    ASSERT_EQ(Locate(&NoConversion), XR_SUCCESS);
    ExpectPoseNear(views[0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});  // no clock: as stored

    ASSERT_EQ(Locate(&TwentyMillisecondsAhead), XR_SUCCESS);
    testing::internal::GetCapturedStdout();
    // 2 cm further along +X before the yaw correction of -20 degrees turns it.
    const float c20 = 0.9396926f;
    const float s20 = 0.3420201f;
    ExpectPoseNear(views[0].pose, kYaw10, {0.22794f + 0.02f * c20, 1.5f, 2.23741f + 0.02f * s20},
                   2e-5f);

    tracker.options.predictDisplayTime = false;
    testing::internal::CaptureStdout();
    ASSERT_EQ(Locate(&TwentyMillisecondsAhead), XR_SUCCESS);
    testing::internal::GetCapturedStdout();
    ExpectPoseNear(views[0].pose, kYaw10, {0.22794f, 1.5f, 2.23741f});
}

TEST_F(OptionsOverrideTest, ViewSpacesLocateAtTheTrackedHeadUntilDestroyed) {
    tracker.options.trackedViewSpace = true;
    testing::internal::CaptureStdout();
    const XrSpace local = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL);
    const XrSpace view = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    ASSERT_EQ(Locate(),
              XR_SUCCESS);  // captures the yaw correction, as an application's first frame
    testing::internal::GetCapturedStdout();

    const XrSpaceLocation head = LocateSpace(view, local);
    ExpectPoseNear(head.pose, kYaw10, kHeadPosition);
    EXPECT_EQ(head.locationFlags & XR_SPACE_LOCATION_POSITION_TRACKED_BIT,
              XrSpaceLocationFlags{XR_SPACE_LOCATION_POSITION_TRACKED_BIT});

    // In the head's own space, the other space sits at the inverse pose: composing gives identity.
    const XrSpaceLocation inverse = LocateSpace(local, view);
    ExpectPoseNear(inverse.pose, {0, -kYaw10.y, 0, kYaw10.w},
                   {-(kHeadPosition.x * 0.9848078f - kHeadPosition.z * 0.1736482f), -1.5f,
                    -(kHeadPosition.x * 0.1736482f + kHeadPosition.z * 0.9848078f)},
                   2e-5f);

    // Neither space a VIEW space: the runtime's answer.
    ExpectPoseNear(LocateSpace(local, local).pose, kRuntimeSpacePose.orientation,
                   kRuntimeSpacePose.position);

    // A VIEW space made 2 m in front of the head, as applications place things that follow the
    // head: the tracked head's yaw of +10 degrees turns (0, 0, -2) to (-2 sin 10, 0, -2 cos 10).
    const XrSpace front = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW, {0, 0, -2});
    ExpectPoseNear(LocateSpace(front, local).pose, kYaw10,
                   {kHeadPosition.x - 0.3472964f, 1.5f, kHeadPosition.z - 1.9696155f}, 2e-5f);
    // Both VIEW spaces: only their offsets in the head count.
    ExpectPoseNear(LocateSpace(front, view).pose, kIdentityQ, {0, 0, -2});
    ExpectPoseNear(LocateSpace(view, front).pose, kIdentityQ, {0, 0, 2});

    EXPECT_EQ(DestroySpaceForgettingViews(tracker, &RuntimeDestroySpace, view), XR_SUCCESS);
    EXPECT_EQ(destroyedSpaces, std::vector<XrSpace>{view});
    ExpectPoseNear(LocateSpace(view, local).pose, kRuntimeSpacePose.orientation,
                   kRuntimeSpacePose.position);
}

TEST_F(OptionsOverrideTest, WithTheOptionOffViewSpacesKeepTheRuntimesPoses) {
    testing::internal::CaptureStdout();
    const XrSpace local = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL);
    const XrSpace view = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    ASSERT_EQ(Locate(), XR_SUCCESS);
    testing::internal::GetCapturedStdout();
    ExpectPoseNear(LocateSpace(view, local).pose, kRuntimeSpacePose.orientation,
                   kRuntimeSpacePose.position);
}

// How a VIEW space ends, and what the runtime then makes of its handle.
enum class EndedBy { DestroySpace, DestroySession, DestroyInstance };

struct ReuseCase {
    const char* name;
    EndedBy endedBy;
    XrReferenceSpaceType reusedAs;
};

void PrintTo(const ReuseCase& c, std::ostream* os) {
    *os << c.name;
}

class ViewSpaceReuse : public OptionsOverrideTest, public testing::WithParamInterface<ReuseCase> {
protected:
    void End(EndedBy endedBy, XrSpace view) {
        switch (endedBy) {
            case EndedBy::DestroySpace:
                EXPECT_EQ(DestroySpaceForgettingViews(tracker, &RuntimeDestroySpace, view),
                          XR_SUCCESS);
                break;
            case EndedBy::DestroySession:
                EXPECT_EQ(DestroySessionForgettingViews(tracker, &RuntimeDestroySession, kSession),
                          XR_SUCCESS);
                break;
            case EndedBy::DestroyInstance:
                // What the instance's destroy hook does; a dispatch test checks it does so.
                tracker.viewSpaces.Clear();
                break;
        }
    }
};

TEST_P(ViewSpaceReuse, AReusedHandleIsWhatItWasCreatedAsNow) {
    const ReuseCase& c = GetParam();
    tracker.options.trackedViewSpace = true;
    testing::internal::CaptureStdout();
    const XrSpace view = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    ASSERT_EQ(Locate(), XR_SUCCESS);
    End(c.endedBy, view);

    reusedHandle = view;
    const XrSpace reused = CreateSpace(c.reusedAs, {0, 0, -1}, kLaterSession);
    const XrSpace local = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL, {0, 0, 0}, kLaterSession);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(reused, view);

    const XrSpaceLocation located = LocateSpace(reused, local);
    if (c.reusedAs == XR_REFERENCE_SPACE_TYPE_VIEW) {
        ExpectPoseNear(located.pose, kYaw10, kOneMetreAhead, 2e-5f);
    } else {
        ExpectPoseNear(located.pose, kRuntimeSpacePose.orientation, kRuntimeSpacePose.position);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewSpaceReuse,
    testing::Values(ReuseCase{"SpaceDestroyedReusedAsLocal", EndedBy::DestroySpace,
                              XR_REFERENCE_SPACE_TYPE_LOCAL},
                    ReuseCase{"SpaceDestroyedReusedAsView", EndedBy::DestroySpace,
                              XR_REFERENCE_SPACE_TYPE_VIEW},
                    ReuseCase{"SessionDestroyedReusedAsLocal", EndedBy::DestroySession,
                              XR_REFERENCE_SPACE_TYPE_LOCAL},
                    ReuseCase{"SessionDestroyedReusedAsView", EndedBy::DestroySession,
                              XR_REFERENCE_SPACE_TYPE_VIEW},
                    ReuseCase{"InstanceDestroyedReusedAsLocal", EndedBy::DestroyInstance,
                              XR_REFERENCE_SPACE_TYPE_LOCAL},
                    ReuseCase{"InstanceDestroyedReusedAsView", EndedBy::DestroyInstance,
                              XR_REFERENCE_SPACE_TYPE_VIEW}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(OptionsOverrideTest, ARefusedDestroyLeavesTheViewSpaceTracked) {
    tracker.options.trackedViewSpace = true;
    testing::internal::CaptureStdout();
    const XrSpace view = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    const XrSpace local = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL);
    ASSERT_EQ(Locate(), XR_SUCCESS);
    testing::internal::GetCapturedStdout();

    destroyResult = XR_ERROR_HANDLE_INVALID;
    EXPECT_EQ(DestroySpaceForgettingViews(tracker, &RuntimeDestroySpace, view),
              XR_ERROR_HANDLE_INVALID);
    EXPECT_EQ(DestroySessionForgettingViews(tracker, &RuntimeDestroySession, kSession),
              XR_ERROR_HANDLE_INVALID);
    ExpectPoseNear(LocateSpace(view, local).pose, kYaw10, kHeadPosition);
}

TEST_F(OptionsOverrideTest, AFullTableIsSaidOnceAndFreedWithItsSession) {
    tracker.options.trackedViewSpace = true;
    testing::internal::CaptureStdout();
    const XrSpace local = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL, {0, 0, 0}, kLaterSession);
    for (size_t i = 0; i < ViewSpaceSet::kCapacity; ++i) {
        CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    }
    ASSERT_EQ(Locate(), XR_SUCCESS);
    const std::string beforeFull = testing::internal::GetCapturedStdout();

    testing::internal::CaptureStdout();
    const XrSpace untracked = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    const std::string full = testing::internal::GetCapturedStdout();
    EXPECT_EQ(beforeFull.find("Tracked VIEW spaces"), std::string::npos);
    EXPECT_EQ(full,
              "Tracked VIEW spaces: all 64 are in use; further VIEW spaces keep the runtime's "
              "poses.\n")
        << "said once, for the first space that did not fit";
    ExpectPoseNear(LocateSpace(untracked, local).pose, kRuntimeSpacePose.orientation,
                   kRuntimeSpacePose.position);

    ASSERT_EQ(DestroySessionForgettingViews(tracker, &RuntimeDestroySession, kSession), XR_SUCCESS);
    testing::internal::CaptureStdout();
    const XrSpace later = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW, {0, 0, -1}, kLaterSession);
    testing::internal::GetCapturedStdout();
    ExpectPoseNear(LocateSpace(later, local).pose, kYaw10, kOneMetreAhead, 2e-5f);
}

}  // namespace
