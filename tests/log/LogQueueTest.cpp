#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <sstream>
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

// A text that needs more slots than are free is dropped whole, not cut.
TEST(LogQueueTest, ALongTextThatDoesNotFitIsDroppedWholeAndFitsOnceThereIsRoom) {
    LogQueue queue;
    for (size_t i = 0; i < LogQueue::kSlots - 2; ++i) {
        queue.Push("x", 1);
    }
    const std::string longLine(LogQueue::kSlotText * 2 + 1, 'L');  // three slots
    queue.Push(longLine.data(), longLine.size());
    EXPECT_EQ(queue.TakeDropped(), 3u) << "its pieces are counted";
    EXPECT_EQ(PopAll(queue), std::string(LogQueue::kSlots - 2, 'x'));

    queue.Push(longLine.data(), longLine.size());
    EXPECT_EQ(PopAll(queue), longLine);
    EXPECT_EQ(queue.TakeDropped(), 0u);
}

// Threads that log lines longer than a slot at the same time: no line has another's text inside.
TEST(LogQueueTest, LongLinesFromTwoThreadsAtOnceComeOutWhole) {
    LogQueue queue;
    constexpr int kLinesEach = 3000;
    constexpr size_t kLength = LogQueue::kSlotText * 2 + 100;
    std::atomic<int> running{2};
    std::vector<std::thread> producers;
    for (const char fill : {'a', 'b'}) {
        producers.emplace_back([&, fill] {
            for (int i = 0; i < kLinesEach; ++i) {
                std::string line = std::string(1, fill) + std::to_string(i) + ':';
                line.resize(kLength, fill);
                line += '\n';
                queue.Push(line.data(), line.size());
            }
            running.fetch_sub(1);
        });
    }
    std::string text;
    const auto take = [&](const char* data, size_t size) { text.append(data, size); };
    while (running.load() > 0) {
        queue.PopInto(take);
    }
    while (queue.PopInto(take)) {
    }
    for (auto& producer : producers) {
        producer.join();
    }

    std::map<std::string, int> seen;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const char fill = line.front();
        ASSERT_EQ(line.size(), kLength) << line;
        ASSERT_EQ(line.find_first_not_of(fill, line.find(':') + 1), std::string::npos) << line;
        ++seen[line.substr(0, line.find(':'))];
    }
    EXPECT_EQ(seen.size() * 3 + queue.TakeDropped(), static_cast<size_t>(2 * kLinesEach * 3))
        << "every line arrives or is counted as dropped";
    for (const auto& [line, count] : seen) {
        ASSERT_EQ(count, 1) << line;
    }
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
