#include <gtest/gtest.h>

#include <vector>

#include "tracking/PoseStore.h"

namespace {

// Pose n: every component tells n.
void StorePose(PoseStore& store, int n) {
    const auto v = static_cast<float>(n);
    store.Store({v, v, v}, {v, v, v, v});
}

void ExpectPose(const HmdPose& pose, int n) {
    const auto v = static_cast<float>(n);
    EXPECT_TRUE(pose.valid);
    EXPECT_EQ(
        std::vector<float>({pose.position.x, pose.position.y, pose.position.z, pose.orientation.x,
                            pose.orientation.y, pose.orientation.z, pose.orientation.w}),
        std::vector<float>(7, v));
}

struct PausedRead {
    PoseStore* store = nullptr;
    bool read = false;
    HmdPose pose{};
    int pauses = 0;
};

// A frame thread preempted in the middle of storing a pose: a reader gets the previous pose at
// once, as the pause (on the writer's own thread) shows, without waiting for the writer.
TEST(PoseStoreTest, AWriterStoppedInTheMiddleOfAStoreHoldsUpNoReader) {
    PoseStore store;
    StorePose(store, 1);
    PausedRead paused{&store};
    store.Store(
        {2, 2, 2}, {2, 2, 2, 2},
        [](void* context) {
            auto* p = static_cast<PausedRead*>(context);
            p->read = p->store->Read(&p->pose);
            ++p->pauses;
        },
        &paused);
    ASSERT_EQ(paused.pauses, 1);
    ASSERT_TRUE(paused.read);
    ExpectPose(paused.pose, 1);

    HmdPose after{};
    ASSERT_TRUE(store.Read(&after));
    ExpectPose(after, 2);
}

// Frames that finish a store during every attempt of a read: after a few attempts the reader
// stops and is told, rather than spinning for as long as frames come.
TEST(PoseStoreTest, AReaderOvertakenOnEveryAttemptGivesUpAndSaysSo) {
    PoseStore store;
    StorePose(store, 1);
    PausedRead overtaking{&store};
    HmdPose pose{};
    const bool read = store.Read(
        &pose,
        [](void* context) {
            auto* p = static_cast<PausedRead*>(context);
            ++p->pauses;
            StorePose(*p->store, 1 + p->pauses);
        },
        &overtaking);
    EXPECT_FALSE(read);
    EXPECT_EQ(overtaking.pauses, SequenceLatch::kReadAttempts);
}

TEST(PoseStoreTest, ValidityChangesAloneAndKeepsThePose) {
    PoseStore store;
    HmdPose pose{};
    ASSERT_TRUE(store.Read(&pose));
    EXPECT_FALSE(pose.valid) << "no pose before the first";
    StorePose(store, 3);
    store.SetValid(false);
    ASSERT_TRUE(store.Read(&pose));
    EXPECT_FALSE(pose.valid);
    EXPECT_EQ(pose.position.x, 3.0f);
    store.SetValid(true);
    ASSERT_TRUE(store.Read(&pose));
    ExpectPose(pose, 3);
}

}  // namespace
