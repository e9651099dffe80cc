#include <cstring>
#include <ostream>
#include <string>

#include "FakeRuntime.h"
#include "OverrideFixture.h"
#include "override/PoseOverride.h"

namespace {

class ReferenceSpaceOverrideTest : public OverrideFixture {
protected:
    void SetUp() override {
        OverrideFixture::SetUp();
        FakeRuntime::Current() = FakeRuntime{};
        pauses = 0;
        poseArrivesAfterPause = 0;
        current = this;
    }

    XrResult Create(const XrReferenceSpaceCreateInfo* createInfo) {
        return CreateReferenceSpaceAtTrackedPose(tracker, &FakeCreateReferenceSpace, &CountPause,
                                                 session, createInfo, &space);
    }

    // Pauses take no time here; the headset may be made to appear during a chosen pause.
    static void CountPause() {
        ++pauses;
        if (pauses == poseArrivesAfterPause) {
            current->tracker.StorePose({1, 2, 3}, kIdentityQ);
        }
    }

    static inline int pauses = 0;
    static inline int poseArrivesAfterPause = 0;
    static inline ReferenceSpaceOverrideTest* current = nullptr;

    XrSession session = reinterpret_cast<XrSession>(0x10);
    XrSpace space = XR_NULL_HANDLE;
    XrReferenceSpaceCreateInfo info{XR_TYPE_REFERENCE_SPACE_CREATE_INFO,
                                    nullptr,
                                    XR_REFERENCE_SPACE_TYPE_LOCAL,
                                    {kYaw50, {4, 5, 6}}};
};

std::string Repeat(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += line;
    }
    return text;
}

TEST_F(ReferenceSpaceOverrideTest, WithAPoseTheSpaceIsCreatedAtOnceAtTheFlippedPosition) {
    Track({1, 2, 3}, kIdentityQ);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Create(&info), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(pauses, 0);
    EXPECT_EQ(space, reinterpret_cast<XrSpace>(0x5));
    ExpectPoseNear(FakeRuntime::Current().receivedSpaceInfo.poseInReferenceSpace, kIdentityQ,
                   {1, -2, 3}, 0.0f);
}

// Frames overtake every read after the first whole one: the space gets the pose of that read, not
// none (the origin) from a read taken again.
TEST_F(ReferenceSpaceOverrideTest, TheSpaceGetsThePoseItsWholeReadFound) {
    Track({1, 2, 3}, kIdentityQ);
    OvertakingFrames frames{&tracker, {1, 2, 3}, kIdentityQ, 2};
    tracker.headset.poses.SetReadPause(&OvertakingFrames::Pause, &frames);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Create(&info), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(pauses, 0);
    ExpectPoseNear(FakeRuntime::Current().receivedSpaceInfo.poseInReferenceSpace, kIdentityQ,
                   {1, -2, 3}, 0.0f);
}

// Frames overtake a whole round of read attempts: the read is taken again, and the space made at
// once, without a wait for the headset.
TEST_F(ReferenceSpaceOverrideTest, AReadOvertakenByFramesIsNoMissingHeadset) {
    Track({1, 2, 3}, kIdentityQ);
    OvertakingFrames frames{&tracker, {1, 2, 3}, kIdentityQ, 1, SequenceLatch::kReadAttempts};
    tracker.headset.poses.SetReadPause(&OvertakingFrames::Pause, &frames);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Create(&info), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no \"Waiting\"";
    EXPECT_EQ(pauses, 0);
    ExpectPoseNear(FakeRuntime::Current().receivedSpaceInfo.poseInReferenceSpace, kIdentityQ,
                   {1, -2, 3}, 0.0f);
}

struct OffsetCase {
    std::string name;
    XrQuaternionf stored;
    XrQuaternionf expected;
};

// Test names and failure messages show the case by its name.
void PrintTo(const OffsetCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class ReferenceSpaceOffsetTest : public ReferenceSpaceOverrideTest,
                                 public testing::WithParamInterface<OffsetCase> {};

TEST_P(ReferenceSpaceOffsetTest, EverySpaceTypeGetsTheYawOnlyOffset) {
    Track({1, 2, 3}, GetParam().stored);
    for (XrReferenceSpaceType type : {XR_REFERENCE_SPACE_TYPE_VIEW, XR_REFERENCE_SPACE_TYPE_LOCAL,
                                      XR_REFERENCE_SPACE_TYPE_STAGE}) {
        int chained = 0;
        info.referenceSpaceType = type;
        info.next = &chained;
        const XrReferenceSpaceCreateInfo before = info;

        ASSERT_EQ(Create(&info), XR_SUCCESS);

        const XrReferenceSpaceCreateInfo& received = FakeRuntime::Current().receivedSpaceInfo;
        EXPECT_EQ(received.type, XR_TYPE_REFERENCE_SPACE_CREATE_INFO);
        EXPECT_EQ(received.next, &chained);
        EXPECT_EQ(received.referenceSpaceType, type);
        ExpectPoseNear(received.poseInReferenceSpace, GetParam().expected, {1, -2, 3}, 1e-6f);
        EXPECT_EQ(received.poseInReferenceSpace.orientation.x, 0.0f);
        EXPECT_EQ(received.poseInReferenceSpace.orientation.z, 0.0f);
        EXPECT_EQ(std::memcmp(&info, &before, sizeof(info)), 0) << "application's info changed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    StoredOrientations, ReferenceSpaceOffsetTest,
    testing::Values(OffsetCase{"Identity", kIdentityQ, kIdentityQ},
                    OffsetCase{"Yaw30GivesYawMinus30", kYaw30Q, {0, -0.2588190f, 0, 0.9659258f}},
                    // Pitch and roll are dropped: only the heading of the y-negated pose stays.
                    OffsetCase{"PitchAndRoll",
                               {0.1f, 0.2f, 0.3f, 0.9273618f},
                               {0, -0.1655617f, 0, 0.9861994f}}),
    [](const auto& i) { return i.param.name; });

TEST_F(ReferenceSpaceOverrideTest, APoseArrivingDuringTheThirdPauseEndsTheWait) {
    tracker.initialised = true;
    poseArrivesAfterPause = 3;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Create(&info), XR_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), Repeat("Waiting\n", 3));
    EXPECT_EQ(FakeRuntime::Current().createSpaceCalls, 1);
    EXPECT_EQ(FakeRuntime::Current().receivedSpaceInfo.poseInReferenceSpace.position.y, -2.0f);
}

TEST_F(ReferenceSpaceOverrideTest, GivesUpAfterFiftyWaits) {
    tracker.initialised = true;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Create(&info), XR_ERROR_SESSION_NOT_READY);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              Repeat("Waiting\n", 50) + "Unable to find headset position\n");
    EXPECT_EQ(pauses, 50);
    EXPECT_EQ(FakeRuntime::Current().createSpaceCalls, 0);
    EXPECT_EQ(space, XR_NULL_HANDLE);
}

TEST_F(ReferenceSpaceOverrideTest, TheRuntimesFailureIsReturned) {
    Track({1, 2, 3}, kIdentityQ);
    FakeRuntime::Current().result = XR_ERROR_REFERENCE_SPACE_UNSUPPORTED;
    EXPECT_EQ(Create(&info), XR_ERROR_REFERENCE_SPACE_UNSUPPORTED);
}

TEST_F(ReferenceSpaceOverrideTest, ANullCreateInfoGoesToTheRuntimeUntouched) {
    EXPECT_EQ(Create(nullptr), XR_ERROR_VALIDATION_FAILURE);
    EXPECT_TRUE(FakeRuntime::Current().createInfoWasNull);
    EXPECT_EQ(pauses, 0);
}

TEST_F(ReferenceSpaceOverrideTest, ABadConfigurationFailsAtOnceWithoutTheRuntime) {
    EXPECT_THROW(
        {
            try {
                Create(&info);
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "ini file not found.");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(pauses, 0);
    EXPECT_EQ(FakeRuntime::Current().createSpaceCalls, 0);
}

}  // namespace
