#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "tracking/MocapTracker.h"

inline constexpr XrQuaternionf kIdentityQ{0, 0, 0, 1};
inline constexpr XrQuaternionf kYaw10{0, 0.0871557f, 0, 0.9961947f};
inline constexpr XrQuaternionf kYaw30Q{0, 0.2588190f, 0, 0.9659258f};
inline constexpr XrQuaternionf kYaw50{0, 0.4226183f, 0, 0.9063078f};

inline void ExpectPoseNear(const XrPosef& actual, const XrQuaternionf& orientation,
                           const XrVector3f& position, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.orientation.x, orientation.x, tolerance);
    EXPECT_NEAR(actual.orientation.y, orientation.y, tolerance);
    EXPECT_NEAR(actual.orientation.z, orientation.z, tolerance);
    EXPECT_NEAR(actual.orientation.w, orientation.w, tolerance);
    EXPECT_NEAR(actual.position.x, position.x, tolerance);
    EXPECT_NEAR(actual.position.y, position.y, tolerance);
    EXPECT_NEAR(actual.position.z, position.z, tolerance);
}

// Frames storing the same pose again, each completing during one of the hooks' attempts to read
// the pose store (its read pause): the attempts from the `first`th to the `last`th, counted from 1,
// are overtaken.
struct OvertakingFrames {
    MocapTracker* tracker;
    XrVector3f position;
    XrQuaternionf orientation;
    int first = 1;
    int last = std::numeric_limits<int>::max();
    int attempts = 0;

    static void Pause(void* context) {
        auto* self = static_cast<OvertakingFrames*>(context);
        ++self->attempts;
        if (self->attempts >= self->first && self->attempts <= self->last) {
            self->tracker->StorePose(self->position, self->orientation);
        }
    }
};

// A tracker of the test's own with the pose store set directly; the configuration variable
// points at an empty directory, so a start-up that should not happen shows up as an error line.
class OverrideFixture : public testing::Test {
protected:
    void SetUp() override {
        emptyDirectory = MakeTemporaryDirectory();
        SetVariable("TARVEX_OPENXR_CONFIG", emptyDirectory.string().c_str());
    }
    void TearDown() override {
        SetVariable("TARVEX_OPENXR_CONFIG", nullptr);
        RemoveTemporaryDirectory(emptyDirectory);
    }

    // A started tracker holding one headset pose.
    void Track(const XrVector3f& position, const XrQuaternionf& orientation, float ipd = 64.0f) {
        tracker.ipd = ipd;
        tracker.initialised = true;
        tracker.StorePose(position, orientation);
    }

    MocapTracker tracker;
    std::filesystem::path emptyDirectory;
};
