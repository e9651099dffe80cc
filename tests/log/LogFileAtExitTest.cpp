// Lines queued just before the process exits reach the log file, even when the exit comes while
// the writer thread is in the middle of a drain (exit ends that thread wherever it is).
//
// The test runs this program again as the process that logs and exits.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"

namespace {

constexpr const char* kLogAndExit = "--log-and-exit";
constexpr int kFillerLines = 1000;  // most of the queue, so that the writer's drain takes a while
constexpr int kLastLines = 10;

std::string gProgram;

std::string FillerLine(int index) {
    std::string line = "filler " + std::to_string(index) + ' ';
    line.resize(LogQueue::kSlotText - 1, '.');
    return line + '\n';
}

std::string LastLine(int index) {
    return "last line " + std::to_string(index) + " before exit\n";
}

// The program that exits: fills the queue, waits until the writer thread's drain has begun
// writing, queues the last lines and exits at once.
int LogAndExit(const std::string& folder) {
    LogFileWriter& writer = LogFileWriter::Instance();
    const std::string path = writer.Start(folder, "");
    if (path.empty()) {
        return 2;
    }
    for (int i = 0; i < kFillerLines; ++i) {
        const std::string line = FillerLine(i);
        writer.Queue().Push(line.data(), line.size());
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::error_code error;
    while (std::filesystem::file_size(path, error) == 0 || error) {
        if (std::chrono::steady_clock::now() >= until) {
            return 3;
        }
        std::this_thread::yield();
    }
    for (int i = 0; i < kLastLines; ++i) {
        const std::string line = LastLine(i);
        writer.Queue().Push(line.data(), line.size());
    }
    return 0;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(LogFileAtExitTest, LinesQueuedJustBeforeExitAllReachTheFile) {
    // A few runs: the exit does not always find the writer in the middle of its drain.
    for (int run = 0; run < 5; ++run) {
        const std::filesystem::path folder = MakeTemporaryDirectory();
        const std::string command =
            '"' + gProgram + "\" " + kLogAndExit + " \"" + folder.string() + '"';
        ASSERT_EQ(std::system(command.c_str()), 0) << command;

        std::string expected;
        for (int i = 0; i < kFillerLines; ++i) {
            expected += FillerLine(i);
        }
        for (int i = 0; i < kLastLines; ++i) {
            expected += LastLine(i);
        }
        const std::string text = ReadFile(folder / LogFile::kFileName);
        std::filesystem::remove_all(folder);
        ASSERT_EQ(text.size(), expected.size())
            << "run " << run << " ends with:\n"
            << text.substr(text.size() > 300 ? text.size() - 300 : 0);
        ASSERT_EQ(text, expected) << "run " << run;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == kLogAndExit) {
        return LogAndExit(argv[2]);
    }
    gProgram = argv[0];
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
