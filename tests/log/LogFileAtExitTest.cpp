// Lines queued just before the process exits reach the log file, even when the exit comes while
// the writer thread is in the middle of a drain (exit ends that thread wherever it is).
//
// The test runs this program again as the process that logs and exits. Its log file is a named
// pipe that the test leaves unread until the process exits: the writer thread's drain waits on the
// full pipe, so the exit finds it in the middle of that drain every time.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"

namespace {

constexpr const char* kLogAndExit = "--log-and-exit";
constexpr const char* kExiting = "exiting";
constexpr int kFillerLines = 1000;  // far more than a pipe holds
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

// The program that exits: fills the queue, gives the writer thread time to start draining into
// the pipe, queues the last lines, says it is exiting and exits.
int LogAndExit(const std::string& folder) {
    LogFileWriter& writer = LogFileWriter::Instance();
    if (writer.Start(folder, "").empty()) {
        return 2;
    }
    for (int i = 0; i < kFillerLines; ++i) {
        const std::string line = FillerLine(i);
        writer.Queue().Push(line.data(), line.size());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < kLastLines; ++i) {
        const std::string line = LastLine(i);
        writer.Queue().Push(line.data(), line.size());
    }
    std::ofstream(std::filesystem::path(folder) / kExiting);
    return 0;
}

TEST(LogFileAtExitTest, LinesQueuedJustBeforeExitAllReachTheFile) {
    const std::filesystem::path folder = MakeTemporaryDirectory();
    const std::string pipePath = (folder / LogFile::kFileName).string();
    ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
    // Opened before the program opens it for writing, so that neither open waits.
    const int pipe = open(pipePath.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(pipe, 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(gProgram.c_str(), gProgram.c_str(), kLogAndExit, folder.c_str(), nullptr);
        _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    while (!std::filesystem::exists(folder / kExiting) && waitpid(child, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(std::filesystem::exists(folder / kExiting))
        << "the program did not get to its exit";
    // The exit is under way, the pipe still full.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fcntl(pipe, F_SETFL, 0);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(pipe, buffer, sizeof(buffer))) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    close(pipe);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    std::filesystem::remove_all(folder);

    std::string expected;
    for (int i = 0; i < kFillerLines; ++i) {
        expected += FillerLine(i);
    }
    for (int i = 0; i < kLastLines; ++i) {
        expected += LastLine(i);
    }
    ASSERT_EQ(text.size(), expected.size())
        << "the file ends with:\n"
        << text.substr(text.size() > 300 ? text.size() - 300 : 0);
    EXPECT_EQ(text, expected);
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
