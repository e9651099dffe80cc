#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tracking/MocapTracker.h"

// MocapTracker::ReadPose, the read of every pose hook, against frames that overtake its reads of
// the store (through the store's read pause, where a frame completes its store).

namespace {

// Pose n: every component tells n.
void StorePose(MocapTracker& tracker, int n) {
    const auto v = static_cast<float>(n);
    tracker.StorePose({v, v, v}, {v, v, v, v});
}

struct Overtaking {
    MocapTracker* tracker;
    int overtakes;  // the first this many read attempts each see a frame stored meanwhile
    int pauses = 0;

    static void Pause(void* context) {
        auto* self = static_cast<Overtaking*>(context);
        if (self->pauses++ < self->overtakes) {
            StorePose(*self->tracker, 1 + self->pauses);
        }
    }
};

// However many of its attempts frames overtake, within the bound, the read gives the newest pose
// whole: not the copy an overtaken attempt read, nor no pose while one is stored.
TEST(PoseReadTest, AnOvertakenReadIsTakenAgainAndGivesTheNewestPose) {
    for (const int overtakes : {1, SequenceLatch::kReadAttempts - 1, SequenceLatch::kReadAttempts,
                                SequenceLatch::kReadAttempts + 1, 2 * SequenceLatch::kReadAttempts,
                                3 * SequenceLatch::kReadAttempts + 2}) {
        SCOPED_TRACE("overtaken " + std::to_string(overtakes) + " times");
        MocapTracker tracker;
        StorePose(tracker, 1);
        Overtaking overtaking{&tracker, overtakes};
        tracker.headset.poses.SetReadPause(&Overtaking::Pause, &overtaking);
        const HmdPose pose = tracker.ReadPose();
        ASSERT_EQ(overtaking.pauses, overtakes + 1);
        const auto newest = static_cast<float>(overtakes + 1);
        EXPECT_TRUE(pose.valid);
        EXPECT_EQ(std::vector<float>({pose.position.x, pose.position.y, pose.position.z,
                                      pose.orientation.x, pose.orientation.y, pose.orientation.z,
                                      pose.orientation.w}),
                  std::vector<float>(7, newest));
    }
}

// Frames that overtake every attempt: the read ends, without a pose, rather than spin for as long
// as frames come.
TEST(PoseReadTest, AReadOvertakenEveryTimeEndsWithoutAPose) {
    MocapTracker tracker;
    StorePose(tracker, 1);
    Overtaking overtaking{&tracker, std::numeric_limits<int>::max()};
    tracker.headset.poses.SetReadPause(&Overtaking::Pause, &overtaking);
    EXPECT_FALSE(tracker.ReadPose().valid);
    EXPECT_GE(overtaking.pauses, SequenceLatch::kReadAttempts);
}

TEST(PoseReadTest, BeforeTheFirstFrameThereIsNoPoseAtOnce) {
    MocapTracker tracker;
    Overtaking overtaking{&tracker, 0};
    tracker.headset.poses.SetReadPause(&Overtaking::Pause, &overtaking);
    EXPECT_FALSE(tracker.ReadPose().valid);
    EXPECT_EQ(overtaking.pauses, 1) << "a whole read without a pose is not taken again";
}

}  // namespace
