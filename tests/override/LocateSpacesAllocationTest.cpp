#include <array>

#include "AllocationCounter.h"
#include "OverrideFixture.h"
#include "override/PoseOverride.h"

// xrLocateSpaces is on the hot path: a batch of any size is located without a heap allocation.
// Its own program, since the counter replaces operator new for the whole process.

namespace {

constexpr uint32_t kBatch = 200;

XrResult XRAPI_CALL RuntimeLocateSpaces(XrSession, const XrSpacesLocateInfo* info,
                                        XrSpaceLocations* locations) {
    for (uint32_t i = 0; i < info->spaceCount; ++i) {
        locations->locations[i] = {
            XR_SPACE_LOCATION_ORIENTATION_VALID_BIT | XR_SPACE_LOCATION_POSITION_VALID_BIT,
            {{0, 0, 0, 1}, {9, 9, 9}}};
    }
    return XR_SUCCESS;
}

TEST_F(OverrideFixture, ABatchOfViewSpacesIsLocatedWithoutAllocating) {
    Track({1, 1.5f, 2}, kYaw30Q);
    tracker.options.trackedViewSpace = true;
    tracker.options.trackingLossMs = 100.0f;
    XrPosef first{kYaw10, {-0.035f, 1.7f, 0}};
    XrPosef second{kYaw10, {0.035f, 1.7f, 0}};
    testing::internal::CaptureStdout();
    tracker.OverrideViewPoses(first, second);  // captures the yaw correction
    testing::internal::GetCapturedStdout();
    const auto view = reinterpret_cast<XrSpace>(0x100);
    const auto local = reinterpret_cast<XrSpace>(0x200);
    ASSERT_TRUE(tracker.viewSpaces.Add(view, reinterpret_cast<XrSession>(0x5E1),
                                       {{0, 0, 0, 1}, {0, 0, -2}}));
    ASSERT_TRUE(tracker.viewSpaces.AddWorldSpace(local, reinterpret_cast<XrSession>(0x5E1)));

    static std::array<XrSpace, kBatch> spaces;
    static std::array<XrSpaceLocationData, kBatch> locationData;
    static std::array<XrSpaceVelocityData, kBatch> velocityData;
    for (uint32_t i = 0; i < kBatch; ++i) {
        spaces[i] = i % 2 == 0 ? view : local;
    }
    XrSpaceVelocities velocities{XR_TYPE_SPACE_VELOCITIES, nullptr, kBatch, velocityData.data()};
    XrSpaceLocations locations{XR_TYPE_SPACE_LOCATIONS, &velocities, kBatch, locationData.data()};
    for (const XrSpace base : {local, view}) {
        const XrSpacesLocateInfo info{
            XR_TYPE_SPACES_LOCATE_INFO, nullptr, base, 1, kBatch, spaces.data()};
        const uint64_t before = AllocationCount();
        const XrResult result = LocateSpacesAtTrackedPose(tracker, &RuntimeLocateSpaces,
                                                          XR_NULL_HANDLE, &info, &locations);
        const uint64_t allocations = AllocationCount() - before;
        ASSERT_EQ(result, XR_SUCCESS);
        EXPECT_EQ(allocations, 0u);
        EXPECT_NE(locationData[0].pose.position.x, 9.0f) << "the VIEW entries got the tracked head";
    }
}

}  // namespace
