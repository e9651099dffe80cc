#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "log/LogQueue.h"

namespace {

std::string PopAll(LogQueue& queue) {
    std::string text;
    while (queue.PopInto([&](const char* data, size_t size) { text.append(data, size); })) {
    }
    return text;
}

TEST(LogQueueTest, TextOfAnyLengthComesOutWholeAndInOrder) {
    LogQueue queue;
    const std::string longLine(LogQueue::kSlotText * 2 + 17, 'x');
    for (const std::string& text : {std::string("Position set\n"), longLine + '\n',
                                    std::string(LogQueue::kSlotText, 'y'), std::string()}) {
        queue.Push(text.data(), text.size());
    }
    EXPECT_EQ(PopAll(queue),
              "Position set\n" + longLine + '\n' + std::string(LogQueue::kSlotText, 'y'));
    EXPECT_EQ(queue.TakeDropped(), 0u);
}

TEST(LogQueueTest, AFullQueueDropsAndCountsWhatDoesNotFitThenTakesTextAgain) {
    LogQueue queue;
    const std::string line = "Setting HMD pos to 1 2 3\n";
    for (size_t i = 0; i < LogQueue::kSlots + 5; ++i) {
        queue.Push(line.data(), line.size());
    }
    EXPECT_EQ(queue.TakeDropped(), 5u);
    EXPECT_EQ(queue.TakeDropped(), 0u) << "the count starts again after it is taken";

    size_t popped = 0;
    while (queue.PopInto([&](const char*, size_t) { ++popped; })) {
    }
    EXPECT_EQ(popped, LogQueue::kSlots);
    queue.Push("after\n", 6);
    EXPECT_EQ(PopAll(queue), "after\n");
}

// Several threads log while the writer drains: every line arrives once, whole. Runs in the
// ThreadSanitizer flavour too.
TEST(LogQueueTest, LinesFromManyThreadsArriveOnceEachAndWhole) {
    LogQueue queue;
    constexpr int kThreads = 3;
    constexpr int kLinesEach = 20000;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&, t] {
            for (int i = 0; i < kLinesEach; ++i) {
                const std::string line = std::to_string(t) + ":" + std::to_string(i) + "\n";
                queue.Push(line.data(), line.size());
            }
            running.fetch_sub(1);
        });
    }
    std::map<std::string, int> seen;
    const auto take = [&](const char* data, size_t size) { ++seen[std::string(data, size)]; };
    while (running.load() > 0) {
        queue.PopInto(take);
    }
    while (queue.PopInto(take)) {
    }
    for (auto& producer : producers) {
        producer.join();
    }

    const uint64_t dropped = queue.TakeDropped();
    EXPECT_EQ(seen.size() + dropped, static_cast<size_t>(kThreads * kLinesEach));
    for (const auto& [line, count] : seen) {
        ASSERT_EQ(count, 1) << line;
        ASSERT_EQ(line.back(), '\n') << line;
    }
}

}  // namespace
