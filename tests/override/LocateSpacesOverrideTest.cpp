#include <algorithm>
#include <array>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "FakeRuntime.h"
#include "OverrideFixture.h"
#include "override/PoseOverride.h"
#include "platform/Platform.h"

// xrLocateSpaces (and xrLocateSpacesKHR, the same logic) against xrLocateSpace: every way of
// locating a VIEW space gives the same tracked head, and the velocities follow one rule.

namespace {

constexpr XrSpaceLocationFlags kAllLocationBits =
    XR_SPACE_LOCATION_ORIENTATION_VALID_BIT | XR_SPACE_LOCATION_POSITION_VALID_BIT |
    XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT | XR_SPACE_LOCATION_POSITION_TRACKED_BIT;
constexpr XrSpaceLocationFlags kValidLocationBits =
    XR_SPACE_LOCATION_ORIENTATION_VALID_BIT | XR_SPACE_LOCATION_POSITION_VALID_BIT;
constexpr XrSpaceVelocityFlags kVelocityValid =
    XR_SPACE_VELOCITY_LINEAR_VALID_BIT | XR_SPACE_VELOCITY_ANGULAR_VALID_BIT;

// The runtime below: every space at a pose of its own, its head moving (velocities non-zero).
const XrPosef kRuntimePose{{0, 0, 0, 1}, {9, 9, 9}};
constexpr XrVector3f kRuntimeLinear{1, 2, 3};
constexpr XrVector3f kRuntimeAngular{4, 5, 6};

bool runtimeFails = false;
int runtimeBatchCalls = 0;

void FillVelocity(XrSpaceVelocityFlags* flags, XrVector3f* linear, XrVector3f* angular) {
    *flags = kVelocityValid;
    *linear = kRuntimeLinear;
    *angular = kRuntimeAngular;
}

XrResult XRAPI_CALL RuntimeLocateSpace(XrSpace, XrSpace, XrTime, XrSpaceLocation* location) {
    location->pose = kRuntimePose;
    location->locationFlags = kAllLocationBits;
    for (auto* chained = static_cast<XrBaseOutStructure*>(location->next); chained != nullptr;
         chained = chained->next) {
        if (chained->type == XR_TYPE_SPACE_VELOCITY) {
            auto* velocity = reinterpret_cast<XrSpaceVelocity*>(chained);
            FillVelocity(&velocity->velocityFlags, &velocity->linearVelocity,
                         &velocity->angularVelocity);
        }
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RuntimeLocateSpaces(XrSession, const XrSpacesLocateInfo* info,
                                        XrSpaceLocations* locations) {
    ++runtimeBatchCalls;
    if (runtimeFails) {
        return XR_ERROR_TIME_INVALID;
    }
    // A runtime refuses lists of different lengths; this one fills what both hold, so that the
    // layer's own bounds show.
    for (uint32_t i = 0; i < std::min(info->spaceCount, locations->locationCount); ++i) {
        locations->locations[i] = {kAllLocationBits, kRuntimePose};
    }
    for (auto* chained = static_cast<XrBaseOutStructure*>(locations->next); chained != nullptr;
         chained = chained->next) {
        if (chained->type == XR_TYPE_SPACE_VELOCITIES) {
            auto* velocities = reinterpret_cast<XrSpaceVelocities*>(chained);
            for (uint32_t i = 0; i < velocities->velocityCount; ++i) {
                XrSpaceVelocityData& data = velocities->velocities[i];
                FillVelocity(&data.velocityFlags, &data.linearVelocity, &data.angularVelocity);
            }
        }
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RuntimeCreateSpace(XrSession, const XrReferenceSpaceCreateInfo*,
                                       XrSpace* space) {
    static uintptr_t next = 0x700;
    *space = reinterpret_cast<XrSpace>(next++);
    return XR_SUCCESS;
}

const XrSession kSession = reinterpret_cast<XrSession>(0x5E1);

XrResult XRAPI_CALL RuntimeDestroySpace(XrSpace) {
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RuntimeDestroySession(XrSession) {
    return XR_SUCCESS;
}

// One location with its velocities, however it was asked for.
struct Located {
    XrSpaceLocationFlags flags = 0;
    XrPosef pose{};
    XrSpaceVelocityFlags velocityFlags = 0;
    XrVector3f linear{};
    XrVector3f angular{};
};

void ExpectSame(const Located& actual, const Located& expected) {
    EXPECT_EQ(actual.flags, expected.flags);
    ExpectPoseNear(actual.pose, expected.pose.orientation, expected.pose.position, 0.0f);
    EXPECT_EQ(actual.velocityFlags, expected.velocityFlags);
    EXPECT_EQ(std::memcmp(&actual.linear, &expected.linear, sizeof(XrVector3f)), 0);
    EXPECT_EQ(std::memcmp(&actual.angular, &expected.angular, sizeof(XrVector3f)), 0);
}

// Action spaces and reference spaces of a type the layer does not place (a runtime's eye space,
// say) move in ways only the runtime knows.
enum class Which { Local, View, FrontView, Stage, Grip, EyeSpace };

const XrSpace kGrip = reinterpret_cast<XrSpace>(0xA11);  // created by xrCreateActionSpace
constexpr auto kEyeSpaceType = static_cast<XrReferenceSpaceType>(1000121000);

struct SpaceCase {
    const char* name;
    Which space;
    Which base;
    bool tracked;  // the layer replaces the runtime's pose with one of its own
    bool velocitiesKept;
    XrSpaceVelocityFlags velocityFlags;  // what the application gets when the layer replaces them
};

void PrintTo(const SpaceCase& c, std::ostream* os) {
    *os << c.name;
}

class LocateSpacesOverride : public OverrideFixture {
protected:
    void SetUp() override {
        OverrideFixture::SetUp();
        FakeRuntime::Current() = FakeRuntime{};
        FakeRuntime::Current().locatedPoses[0] = {kYaw10, {-0.035f, 1.7f, 0}};
        FakeRuntime::Current().locatedPoses[1] = {kYaw10, {0.035f, 1.7f, 0}};
        runtimeFails = false;
        runtimeBatchCalls = 0;
        Track({1, 1.5f, 2}, kYaw30Q);
        tracker.headset.newestFrameTime = platform::MonotonicSeconds();
        tracker.options.trackedViewSpace = true;
        testing::internal::CaptureStdout();
        local = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL);
        view = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
        frontView = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW, {0.1f, 0, -2});
        stage = CreateSpace(XR_REFERENCE_SPACE_TYPE_STAGE);
        eyeSpace = CreateSpace(kEyeSpaceType);
        // The yaw correction is captured at the first xrLocateViews, as in an application.
        XrViewLocateInfo locateInfo{XR_TYPE_VIEW_LOCATE_INFO};
        locateInfo.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        XrViewState state{XR_TYPE_VIEW_STATE};
        std::array<XrView, 2> views{};
        views.fill({XR_TYPE_VIEW});
        uint32_t count = 0;
        EXPECT_EQ(LocateViewsAtTrackedPose(tracker, &FakeLocateViews, kSession, &locateInfo, &state,
                                           2, &count, views.data()),
                  XR_SUCCESS);
        testing::internal::GetCapturedStdout();
    }

    XrSpace CreateSpace(XrReferenceSpaceType type, const XrVector3f& offset = {0, 0, 0}) {
        XrReferenceSpaceCreateInfo info{XR_TYPE_REFERENCE_SPACE_CREATE_INFO};
        info.referenceSpaceType = type;
        info.poseInReferenceSpace = {kIdentityQ, offset};
        XrSpace space = XR_NULL_HANDLE;
        EXPECT_EQ(CreateReferenceSpaceAtTrackedPose(
                      tracker, &RuntimeCreateSpace, [] {}, kSession, &info, &space),
                  XR_SUCCESS);
        return space;
    }

    XrSpace Space(Which which) const {
        switch (which) {
            case Which::Local:
                return local;
            case Which::View:
                return view;
            case Which::FrontView:
                return frontView;
            case Which::Stage:
                return stage;
            case Which::Grip:
                return kGrip;
            case Which::EyeSpace:
                return eyeSpace;
        }
        return XR_NULL_HANDLE;
    }

    Located LocateOne(XrSpace space, XrSpace base) {
        XrSpaceVelocity velocity{XR_TYPE_SPACE_VELOCITY};
        XrSpaceLocation location{XR_TYPE_SPACE_LOCATION, &velocity};
        EXPECT_EQ(LocateSpaceAtTrackedPose(tracker, &RuntimeLocateSpace, space, base, 1, &location),
                  XR_SUCCESS);
        return {location.locationFlags, location.pose, velocity.velocityFlags,
                velocity.linearVelocity, velocity.angularVelocity};
    }

    // The spaces located in one batch, in order.
    std::vector<Located> LocateBatch(const std::vector<XrSpace>& spaces, XrSpace base) {
        std::vector<XrSpaceLocationData> locationData(spaces.size());
        std::vector<XrSpaceVelocityData> velocityData(spaces.size());
        XrSpaceVelocities velocities{XR_TYPE_SPACE_VELOCITIES, nullptr,
                                     static_cast<uint32_t>(spaces.size()), velocityData.data()};
        XrSpaceLocations locations{XR_TYPE_SPACE_LOCATIONS, &velocities,
                                   static_cast<uint32_t>(spaces.size()), locationData.data()};
        const XrSpacesLocateInfo info{XR_TYPE_SPACES_LOCATE_INFO,           nullptr,      base, 1,
                                      static_cast<uint32_t>(spaces.size()), spaces.data()};
        EXPECT_EQ(
            LocateSpacesAtTrackedPose(tracker, &RuntimeLocateSpaces, kSession, &info, &locations),
            XR_SUCCESS);
        std::vector<Located> located;
        for (size_t i = 0; i < spaces.size(); ++i) {
            located.push_back({locationData[i].locationFlags, locationData[i].pose,
                               velocityData[i].velocityFlags, velocityData[i].linearVelocity,
                               velocityData[i].angularVelocity});
        }
        return located;
    }

    XrSpace local = XR_NULL_HANDLE;
    XrSpace view = XR_NULL_HANDLE;
    XrSpace frontView = XR_NULL_HANDLE;
    XrSpace stage = XR_NULL_HANDLE;
    XrSpace eyeSpace = XR_NULL_HANDLE;
};

class LocateSpacesCases : public LocateSpacesOverride,
                          public testing::WithParamInterface<SpaceCase> {};

// The space located alone and at each place in a batch with the other spaces: the same location,
// velocities included; and the tracked head, not the runtime's, where a VIEW space is involved.
TEST_P(LocateSpacesCases, ABatchGivesWhatLocatingEachSpaceAloneGives) {
    const SpaceCase& c = GetParam();
    const XrSpace space = Space(c.space);
    const XrSpace base = Space(c.base);
    const Located alone = LocateOne(space, base);

    const std::vector<XrSpace> batch = {local, space, view, frontView, space};
    const std::vector<Located> located = LocateBatch(batch, base);
    ASSERT_EQ(located.size(), batch.size());
    for (size_t i = 0; i < batch.size(); ++i) {
        SCOPED_TRACE("batch entry " + std::to_string(i));
        ExpectSame(located[i], LocateOne(batch[i], base));
    }
    ExpectSame(located[1], alone);

    const bool runtimePose = alone.pose.position.x == kRuntimePose.position.x &&
                             alone.pose.position.y == kRuntimePose.position.y &&
                             alone.pose.position.z == kRuntimePose.position.z;
    EXPECT_EQ(runtimePose, !c.tracked);
    EXPECT_EQ(alone.flags, kAllLocationBits);
    if (c.velocitiesKept) {
        ExpectSame(alone,
                   {kAllLocationBits, alone.pose, kVelocityValid, kRuntimeLinear, kRuntimeAngular});
    } else {
        ExpectSame(alone, {kAllLocationBits, alone.pose, c.velocityFlags, {}, {}});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocateSpacesCases,
    testing::Values(
        // The tracked head: its velocities are the runtime's head's, so they are withdrawn.
        SpaceCase{"ViewLocated", Which::View, Which::Local, true, false, 0},
        SpaceCase{"OffsetViewLocated", Which::FrontView, Which::Local, true, false, 0},
        SpaceCase{"ViewAsBase", Which::Local, Which::View, true, false, 0},
        // Two VIEW spaces move together: nothing moves between them.
        SpaceCase{"ViewInView", Which::FrontView, Which::View, true, false, kVelocityValid},
        SpaceCase{"StageAsBase", Which::View, Which::Stage, true, false, 0},
        SpaceCase{"StageInView", Which::Stage, Which::View, true, false, 0},
        SpaceCase{"Neither", Which::Local, Which::Local, false, true, 0},
        // Only the runtime knows where these are relative to the head, in both directions.
        SpaceCase{"GripInView", Which::Grip, Which::View, false, true, 0},
        SpaceCase{"ViewInGrip", Which::View, Which::Grip, false, true, 0},
        SpaceCase{"EyeSpaceInView", Which::EyeSpace, Which::View, false, true, 0},
        SpaceCase{"ViewInEyeSpace", Which::FrontView, Which::EyeSpace, false, true, 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(LocateSpacesOverride, ViewSpacesOfABatchGetTheHeadOfTheViews) {
    const std::vector<Located> located = LocateBatch({view, local}, local);
    // The worked example's head (OptionsOverrideTest): yaw +10 between the example's eyes.
    ExpectPoseNear(located[0].pose, kYaw10, {0.255655f, 1.5f, 2.22141f});
    ExpectPoseNear(located[1].pose, kRuntimePose.orientation, kRuntimePose.position);
}

// Two hands' grips and the STAGE in the head's space: each its own location, the grips the
// runtime's, the STAGE at the inverse of the tracked head.
TEST_F(LocateSpacesOverride, InAViewSpaceOnlyWorldSpacesGetTheInverseHead) {
    const XrSpace rightGrip = reinterpret_cast<XrSpace>(0xA12);
    const std::vector<Located> located = LocateBatch({kGrip, rightGrip, stage}, view);
    const Located runtimes{kAllLocationBits, kRuntimePose, kVelocityValid, kRuntimeLinear,
                           kRuntimeAngular};
    ExpectSame(located[0], runtimes);
    ExpectSame(located[1], runtimes);
    const Located head = LocateOne(view, stage);
    ExpectPoseNear(head.pose, kYaw10, {0.255655f, 1.5f, 2.22141f});
    // The STAGE in the head: the inverse of the head in the STAGE.
    const XrVector3f& p = head.pose.position;
    ExpectPoseNear(
        located[2].pose, {0, -kYaw10.y, 0, kYaw10.w},
        {-(p.x * 0.9848078f - p.z * 0.1736482f), -p.y, -(p.x * 0.1736482f + p.z * 0.9848078f)},
        2e-5f);
    EXPECT_EQ(located[2].velocityFlags, 0u);
}

// A world space the application destroyed, alone or with its session or instance, is no longer
// placed: a runtime may hand its handle out again for an action space.
TEST_F(LocateSpacesOverride, AForgottenWorldSpaceKeepsTheRuntimesAnswerInAViewSpace) {
    struct Case {
        const char* name;
        void (*forget)(MocapTracker& owner, XrSpace space);
    };
    const Case cases[] = {
        {"space destroyed",
         [](MocapTracker& owner, XrSpace space) {
             EXPECT_EQ(DestroySpaceForgettingViews(owner, &RuntimeDestroySpace, space), XR_SUCCESS);
         }},
        {"session destroyed",
         [](MocapTracker& owner, XrSpace) {
             EXPECT_EQ(DestroySessionForgettingViews(owner, &RuntimeDestroySession, kSession),
                       XR_SUCCESS);
         }},
        {"instance destroyed", [](MocapTracker& owner, XrSpace) { owner.viewSpaces.Clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStdout();
        const XrSpace world = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL);
        ASSERT_NE(LocateOne(world, view).pose.position.x, kRuntimePose.position.x);
        c.forget(tracker, world);
        const XrSpace laterView = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(tracker.viewSpaces.Find(laterView));
        ExpectSame(LocateOne(world, laterView), {kAllLocationBits, kRuntimePose, kVelocityValid,
                                                 kRuntimeLinear, kRuntimeAngular});
        ExpectSame(LocateOne(laterView, world), {kAllLocationBits, kRuntimePose, kVelocityValid,
                                                 kRuntimeLinear, kRuntimeAngular});
        view = CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW);
    }
}

// Past the table's size a world space is not kept: said once, and in a VIEW space it keeps the
// runtime's answer while the world spaces kept before it keep theirs.
TEST_F(LocateSpacesOverride, AFullWorldTableIsSaidOnceAndKeepsTheRuntimesAnswer) {
    testing::internal::CaptureStdout();
    XrSpace last = XR_NULL_HANDLE;
    // The fixture's LOCAL and STAGE already hold two places.
    for (size_t i = 0; i < ViewSpaceSet::kCapacity; ++i) {
        last = CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Tracked VIEW spaces: all 64 places for world spaces are in use; further world "
              "spaces keep the runtime's poses in VIEW spaces.\n");
    ExpectSame(LocateOne(last, view),
               {kAllLocationBits, kRuntimePose, kVelocityValid, kRuntimeLinear, kRuntimeAngular});
    EXPECT_NE(LocateOne(local, view).pose.position.x, kRuntimePose.position.x);
}

TEST_F(LocateSpacesOverride, WithTheOptionOffTheBatchIsTheRuntimes) {
    tracker.options.trackedViewSpace = false;
    for (const Located& located : LocateBatch({view, local, frontView}, local)) {
        ExpectSame(located, {kAllLocationBits, kRuntimePose, kVelocityValid, kRuntimeLinear,
                             kRuntimeAngular});
    }
    for (const Located& located : LocateBatch({local, view}, view)) {
        ExpectSame(located, {kAllLocationBits, kRuntimePose, kVelocityValid, kRuntimeLinear,
                             kRuntimeAngular});
    }
}

// Before the tracker has a head, the runtime's poses stand, and so do its velocities, which
// belong to them.
TEST_F(LocateSpacesOverride, WithoutATrackedHeadTheRuntimesAnswerStands) {
    tracker.initialised = false;
    const Located expected{kAllLocationBits, kRuntimePose, kVelocityValid, kRuntimeLinear,
                           kRuntimeAngular};
    ExpectSame(LocateOne(view, local), expected);
    for (const Located& located : LocateBatch({view, local}, local)) {
        ExpectSame(located, expected);
    }
}

TEST_F(LocateSpacesOverride, LostTrackingClearsTheTrackedBitsOfTheViewEntriesOnly) {
    tracker.options.trackingLossMs = 100.0f;
    tracker.headset.newestFrameTime = platform::MonotonicSeconds() - 1.0;
    const std::vector<Located> located = LocateBatch({view, local, frontView}, local);
    EXPECT_EQ(located[0].flags, kValidLocationBits);
    EXPECT_EQ(located[1].flags, kAllLocationBits);
    EXPECT_EQ(located[2].flags, kValidLocationBits);
    EXPECT_EQ(LocateOne(view, local).flags, kValidLocationBits);
}

// What the layer is given by the application or the runtime must not lead it out of bounds: it
// writes no more entries than both lists hold, nothing after a failure, and copes with no
// velocities or fewer velocities than locations.
TEST_F(LocateSpacesOverride, OnlyTheEntriesBothListsHoldAreTouched) {
    const std::array<XrSpace, 2> spaces{view, view};
    const XrSpacesLocateInfo info{XR_TYPE_SPACES_LOCATE_INFO, nullptr, local, 1, 2, spaces.data()};
    const XrSpaceLocationData untouched{0, {{0, 0, 0, 1}, {7, 7, 7}}};

    std::array<XrSpaceLocationData, 2> data{untouched, untouched};
    XrSpaceLocations oneLocation{XR_TYPE_SPACE_LOCATIONS, nullptr, 1, data.data()};
    ASSERT_EQ(
        LocateSpacesAtTrackedPose(tracker, &RuntimeLocateSpaces, kSession, &info, &oneLocation),
        XR_SUCCESS);
    ExpectPoseNear(data[0].pose, kYaw10, {0.255655f, 1.5f, 2.22141f});
    ExpectPoseNear(data[1].pose, untouched.pose.orientation, untouched.pose.position, 0.0f);

    std::array<XrSpaceVelocityData, 2> velocityData{};
    velocityData[1].velocityFlags = kVelocityValid;
    XrSpaceVelocities oneVelocity{XR_TYPE_SPACE_VELOCITIES, nullptr, 1, velocityData.data()};
    data = {untouched, untouched};
    XrSpaceLocations both{XR_TYPE_SPACE_LOCATIONS, &oneVelocity, 2, data.data()};
    ASSERT_EQ(LocateSpacesAtTrackedPose(tracker, &RuntimeLocateSpaces, kSession, &info, &both),
              XR_SUCCESS);
    ExpectPoseNear(data[1].pose, kYaw10, {0.255655f, 1.5f, 2.22141f});
    EXPECT_EQ(velocityData[0].velocityFlags, 0u);
    EXPECT_EQ(velocityData[1].velocityFlags, kVelocityValid) << "beyond the velocities' count";

    runtimeFails = true;
    data = {untouched, untouched};
    EXPECT_EQ(LocateSpacesAtTrackedPose(tracker, &RuntimeLocateSpaces, kSession, &info, &both),
              XR_ERROR_TIME_INVALID);
    ExpectPoseNear(data[0].pose, untouched.pose.orientation, untouched.pose.position, 0.0f);

    EXPECT_EQ(LocateSpacesAtTrackedPose(tracker, &RuntimeLocateSpaces, kSession, nullptr, nullptr),
              XR_ERROR_TIME_INVALID);
    EXPECT_EQ(runtimeBatchCalls, 4) << "every call reaches the runtime, which judges it";
}

}  // namespace
