#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class LogFileWriterTest : public testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Drains, beside the writer thread's own drains, until the file's text is `done` (bounded).
    template <typename Done>
    std::string DrainUntil(LogFileWriter& writer, Done&& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::string held = ReadFile(logPath);
        while (!done(held) && std::chrono::steady_clock::now() < until) {
            writer.Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            held = ReadFile(logPath);
        }
        return held;
    }

    std::string DrainUntilTheFileHolds(LogFileWriter& writer, const std::string& text) {
        return DrainUntil(writer, [&](const std::string& held) { return held == text; });
    }

    std::string DrainUntilTheFileHoldsSome(LogFileWriter& writer, const std::string& part) {
        return DrainUntil(
            writer, [&](const std::string& held) { return held.find(part) != std::string::npos; });
    }

    std::filesystem::path folder = MakeTemporaryDirectory();
    std::filesystem::path logPath = folder / LogFile::kFileName;
};

TEST_F(LogFileWriterTest, TheFileStartsWithItsHeadThenTheQueuedLines) {
    LogFileWriter writer;
    writer.Queue().Push("queued before\n", 14);
    EXPECT_EQ(writer.Start(folder.string(), "head\n"), logPath.string());
    EXPECT_EQ(writer.Start("elsewhere", "second head\n"), logPath.string()) << "opens once";
    writer.Queue().Push("Position set\n", 13);

    // The writer thread, started above, may be draining at this moment: this drain then leaves
    // the lines to it.
    EXPECT_EQ(DrainUntilTheFileHolds(writer, "head\nqueued before\nPosition set\n"),
              "head\nqueued before\nPosition set\n");
}

TEST_F(LogFileWriterTest, PastTheCapTheFileRotatesOnceKeepingTheNewestLines) {
    LogFile file(64);
    ASSERT_TRUE(file.Open(folder.string()));
    for (int i = 0; i < 10; ++i) {
        const std::string line = "line " + std::to_string(i) + " of the session.\n";  // 22 bytes
        file.Write(line.data(), line.size());
    }
    file.Flush();

    // Two lines per file at most: 6 and 7 went to the rotated file, 8 and 9 are current.
    EXPECT_EQ(ReadFile(logPath), "line 8 of the session.\nline 9 of the session.\n");
    EXPECT_EQ(ReadFile(logPath.string() + ".1"),
              "line 6 of the session.\nline 7 of the session.\n");
    EXPECT_FALSE(std::filesystem::exists(logPath.string() + ".2"));
}

TEST_F(LogFileWriterTest, DroppedTextIsCountedInTheFile) {
    LogFileWriter writer;
    ASSERT_FALSE(writer.Start(folder.string(), "").empty());
    // The writer thread's first drain comes at its start; once it has written this line, the
    // thread sleeps between drains far longer than the pushes below take.
    writer.Queue().Push("ready\n", 6);
    const auto ready = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ReadFile(logPath).empty() && std::chrono::steady_clock::now() < ready) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(ReadFile(logPath), "ready\n");
    // Lines pile up faster than anyone drains them.
    for (size_t i = 0; i < LogQueue::kSlots + 3; ++i) {
        writer.Queue().Push("x\n", 2);
    }
    const std::string text = DrainUntilTheFileHoldsSome(
        writer, "(tarvex_tracking: 3 pieces of log text were dropped here");
    EXPECT_NE(text.find("(tarvex_tracking: 3 pieces of log text were dropped here"),
              std::string::npos)
        << text.substr(text.size() > 200 ? text.size() - 200 : 0);
}

TEST_F(LogFileWriterTest, TheWriterThreadMovesLinesWithoutBeingAsked) {
    LogFileWriter writer;
    ASSERT_FALSE(writer.Start(folder.string(), "").empty());
    writer.Queue().Push("from the frame thread\n", 22);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ReadFile(logPath).empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ReadFile(logPath), "from the frame thread\n");
}

// A drain must leave the writer free for the next one, whoever runs it.
TEST_F(LogFileWriterTest, EveryDrainWritesWhatWasQueuedSinceTheLastOne) {
    LogFileWriter writer;
    ASSERT_FALSE(writer.Start(folder.string(), "").empty());
    writer.Queue().Push("first\n", 6);
    EXPECT_EQ(DrainUntilTheFileHolds(writer, "first\n"), "first\n");
    writer.Queue().Push("second\n", 7);
    EXPECT_EQ(DrainUntilTheFileHolds(writer, "first\nsecond\n"), "first\nsecond\n");
}

// Threads log while the writer thread drains into the file: every line arrives once, whole, or is
// counted as dropped. Runs in the ThreadSanitizer flavour, which sees a text published before it
// is complete; so the threads go on until the writer thread has taken some of their lines.
TEST_F(LogFileWriterTest, LinesFromManyThreadsReachTheFileOnceEachWhileTheWriterDrains) {
    LogFileWriter writer;
    ASSERT_FALSE(writer.Start(folder.string(), "").empty());
    constexpr int kThreads = 3;
    std::atomic<bool> stop{false};
    std::vector<int> pushed(kThreads, 0);
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&, t] {
            for (int& i = pushed[static_cast<size_t>(t)]; !stop.load(); ++i) {
                const std::string line =
                    "Setting HMD pos to " + std::to_string(t) + ", " + std::to_string(i) + "\n";
                writer.Queue().Push(line.data(), line.size());
                if (i % 64 == 0) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            }
        });
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ReadFile(logPath).empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop.store(true);
    for (auto& producer : producers) {
        producer.join();
    }
    ASSERT_FALSE(ReadFile(logPath).empty()) << "the writer thread took no line while they logged";
    while (!writer.Drain() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::map<std::string, int> seen;
    uint64_t dropped = 0;
    std::istringstream text(ReadFile(logPath));
    for (std::string line; std::getline(text, line);) {
        unsigned long long count = 0;
        if (std::sscanf(line.c_str(), "(tarvex_tracking: %llu pieces", &count) == 1) {
            dropped += count;
        } else {
            ++seen[line];
        }
    }
    size_t total = 0;
    for (const int count : pushed) {
        total += static_cast<size_t>(count);
    }
    EXPECT_EQ(seen.size() + dropped, total);
    for (const auto& [line, count] : seen) {
        ASSERT_EQ(count, 1) << line;
        ASSERT_EQ(line.rfind("Setting HMD pos to ", 0), 0u) << line;
    }
}

}  // namespace
