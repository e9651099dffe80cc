#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "tracking/PoseHistory.h"

namespace {

// Sample n: captured at n seconds, every component telling n, so that a sample mixed from two
// appends or taken from the wrong slot shows.
PoseSample Sample(int n) {
    const auto v = static_cast<float>(n);
    return {static_cast<double>(n), {v, v, v}, {v, v, v, v}, static_cast<double>(n) + 0.5};
}

void ExpectSamples(const PoseHistory::Snapshot& snapshot, int first, int last) {
    ASSERT_EQ(snapshot.count, static_cast<size_t>(last - first + 1));
    for (size_t i = 0; i < snapshot.count; ++i) {
        const int n = first + static_cast<int>(i);
        const PoseSample& sample = snapshot.samples[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(sample.time, static_cast<double>(n));
        EXPECT_EQ(sample.arrival, static_cast<double>(n) + 0.5);
        const auto v = static_cast<float>(n);
        EXPECT_EQ(std::vector<float>({sample.position.x, sample.position.y, sample.position.z,
                                      sample.orientation.x, sample.orientation.y,
                                      sample.orientation.z, sample.orientation.w}),
                  std::vector<float>(7, v));
    }
}

TEST(PoseHistoryTest, AReadHoldsTheNewestEightOldestFirst) {
    const struct {
        int appends;
        int first;  // the oldest sample the read holds (the newest is the last appended)
    } cases[] = {{0, 1}, {1, 1}, {7, 1}, {8, 1}, {9, 2}, {17, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.appends << " appends");
        PoseHistory history;
        for (int n = 1; n <= c.appends; ++n) {
            history.Append(Sample(n));
        }
        PoseHistory::Snapshot snapshot;
        ASSERT_TRUE(history.Read(&snapshot));
        ExpectSamples(snapshot, c.first, c.appends);
    }
}

// What a pause sees: the history and what its read gave.
struct PausedRead {
    PoseHistory* history = nullptr;
    bool read = false;
    PoseHistory::Snapshot snapshot;
    int pauses = 0;
};

// A frame thread preempted in the middle of an append: a reader gets the last whole history at
// once, as the pause (on the writer's own thread) shows, without waiting for the writer.
TEST(PoseHistoryTest, AWriterStoppedInTheMiddleOfAnAppendHoldsUpNoReader) {
    PoseHistory history;
    for (int n = 1; n <= 8; ++n) {
        history.Append(Sample(n));
    }
    PausedRead paused{&history};
    history.Append(
        Sample(9),
        [](void* context) {
            auto* p = static_cast<PausedRead*>(context);
            p->read = p->history->Read(&p->snapshot);
            ++p->pauses;
        },
        &paused);
    ASSERT_EQ(paused.pauses, 1);
    ASSERT_TRUE(paused.read);
    ExpectSamples(paused.snapshot, 1, 8);

    PoseHistory::Snapshot after;
    ASSERT_TRUE(history.Read(&after));
    ExpectSamples(after, 2, 9);
}

// Frames that finish an append during every attempt of a read: after a few attempts the reader
// stops and is told, rather than spinning for as long as frames come.
TEST(PoseHistoryTest, AReaderOvertakenOnEveryAttemptGivesUpAndSaysSo) {
    PoseHistory history;
    history.Append(Sample(1));
    PausedRead overtaking{&history};
    PoseHistory::Snapshot snapshot;
    const bool read = history.Read(
        &snapshot,
        [](void* context) {
            auto* p = static_cast<PausedRead*>(context);
            ++p->pauses;
            p->history->Append(Sample(1 + p->pauses));
        },
        &overtaking);
    EXPECT_FALSE(read);
    EXPECT_EQ(overtaking.pauses, SequenceLatch::kReadAttempts);
}

}  // namespace
