#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <thread>
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

// The frame thread appending as fast as it can while two threads read: every read that succeeds
// holds whole samples of consecutive appends, never older than a read before it.
TEST(PoseHistoryTest, ReadsStayWholeWhileAppendsRun) {
    constexpr int kAppends = 200000;
    PoseHistory history;
    std::atomic<bool> done{false};
    std::atomic<int> readersStarted{0};
    struct ReaderResult {
        int reads = 0;
        int overtaken = 0;
        int broken = 0;  // mixed samples, a gap between samples, or a newest older than before
    };
    ReaderResult results[2];
    const auto readOnce = [&](ReaderResult& result, double& newestSeen) {
        PoseHistory::Snapshot snapshot;
        if (!history.Read(&snapshot)) {
            ++result.overtaken;
            return;
        }
        ++result.reads;
        for (size_t i = 0; i < snapshot.count; ++i) {
            const PoseSample& sample = snapshot.samples[i];
            const auto v = static_cast<float>(sample.time);
            const bool whole = sample.arrival == sample.time + 0.5 && sample.position.x == v &&
                               sample.position.z == v && sample.orientation.x == v &&
                               sample.orientation.w == v;
            const bool consecutive = i == 0 || sample.time == snapshot.samples[i - 1].time + 1.0;
            result.broken += whole && consecutive ? 0 : 1;
        }
        if (snapshot.count > 0) {
            const double newest = snapshot.samples[snapshot.count - 1].time;
            result.broken += newest < newestSeen ? 1 : 0;
            newestSeen = newest;
        }
    };
    const auto read = [&](ReaderResult& result) {
        double newestSeen = 0.0;
        readOnce(result, newestSeen);
        readersStarted.fetch_add(1);
        while (!done.load(std::memory_order_relaxed)) {
            readOnce(result, newestSeen);
        }
    };
    std::thread readers[2] = {std::thread(read, std::ref(results[0])),
                              std::thread(read, std::ref(results[1]))};
    // Both readers have read once before the first append, so that neither can miss the run.
    while (readersStarted.load() < 2) {
        std::this_thread::yield();
    }
    for (int n = 1; n <= kAppends; ++n) {
        history.Append(Sample(n));
    }
    done.store(true);
    for (std::thread& reader : readers) {
        reader.join();
    }
    for (const ReaderResult& result : results) {
        EXPECT_GT(result.reads, 0);
        EXPECT_EQ(result.broken, 0);
        std::printf("reads %d, overtaken %d\n", result.reads, result.overtaken);
    }
}

}  // namespace
