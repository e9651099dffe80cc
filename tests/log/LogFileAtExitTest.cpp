// What the process-wide writer does at exit: lines queued just before the process exits reach the
// log file, even when the exit comes while the writer thread is in the middle of a drain (exit
// ends that thread wherever it is), and the file ends with a closing line; a writer thread that
// never finishes its drain holds the exit up for a bounded time only.
//
// The test runs this program again as the process that logs and exits. That process opens its log
// file as always, then puts a named pipe in place of the file's descriptor (the log file itself
// never takes one): the test leaves the pipe unread, so the writer thread's drain waits on the
// full pipe and the exit finds it in the middle of that drain every time.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <system_error>
#include <thread>

#include "TestSupport.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"

namespace {

constexpr const char* kLogAndExit = "--log-and-exit";
constexpr const char* kExiting = "exiting";
constexpr const char* kExitDrainOver = "exit drain over";
constexpr const char* kPipeName = "pipe";
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

// Puts the pipe in place of the open log file's descriptor, where the writer thread writes.
bool WriteTheLogIntoThePipe(const std::filesystem::path& logPath,
                            const std::filesystem::path& pipePath) {
    const int pipe = open(pipePath.c_str(), O_WRONLY | O_CLOEXEC);
    if (pipe < 0) {
        return false;
    }
    const std::filesystem::path logFile = std::filesystem::canonical(logPath);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == logFile) {
            const int descriptor = std::stoi(entry.path().filename().string());
            const bool moved = dup2(pipe, descriptor) == descriptor;
            close(pipe);
            return moved;
        }
    }
    close(pipe);
    return false;
}

// Made before the process-wide writer's exit drain is set up, so destroyed after that has run:
// says that the exit got past the drain.
struct ExitDrainOverMark {
    std::filesystem::path path;
    ~ExitDrainOverMark() { std::ofstream(path) << "over\n"; }
};

// The program that exits: fills the queue, gives the writer thread time to start draining into
// the pipe, queues the last lines, says it is exiting and exits.
int LogAndExit(const std::filesystem::path& folder) {
    static ExitDrainOverMark mark{folder / kExitDrainOver};
    LogFileWriter& writer = LogFileWriter::Instance();
    const std::string logPath = writer.Start(folder.string(), "");
    if (logPath.empty() || !WriteTheLogIntoThePipe(logPath, folder / kPipeName)) {
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
    std::ofstream(folder / kExiting);
    return 0;
}

// Waits, bounded, until the file exists or the process has ended.
bool WaitForFileWhileRunning(const std::filesystem::path& path, pid_t child,
                             std::chrono::seconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    const auto running = [child] {
        siginfo_t ended{};
        return waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               ended.si_pid == 0;
    };
    while (!std::filesystem::exists(path) && running() &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::filesystem::exists(path);
}

std::string ReadAll(int pipe) {
    fcntl(pipe, F_SETFL, 0);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(pipe, buffer, sizeof(buffer))) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

class LogFileAtExitTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mkfifo((folder / kPipeName).c_str(), 0600), 0);
        // Opened before the program opens it for writing, so that neither open waits.
        pipe = open((folder / kPipeName).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(pipe, 0);
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl(gProgram.c_str(), gProgram.c_str(), kLogAndExit, folder.c_str(), nullptr);
            _exit(127);
        }
    }

    void TearDown() override {
        if (pipe >= 0) {
            close(pipe);
        }
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder = MakeTemporaryDirectory();
    int pipe = -1;
    pid_t child = -1;
};

TEST_F(LogFileAtExitTest, LinesQueuedJustBeforeExitAllReachTheFileThenTheClosingLine) {
    ASSERT_TRUE(WaitForFileWhileRunning(folder / kExiting, child, std::chrono::seconds(20)))
        << "the program did not get to its exit";
    // The exit is under way, the pipe still full.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string text = ReadAll(pipe);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

    std::string expected;
    for (int i = 0; i < kFillerLines; ++i) {
        expected += FillerLine(i);
    }
    for (int i = 0; i < kLastLines; ++i) {
        expected += LastLine(i);
    }
    ASSERT_GE(text.size(), expected.size())
        << "the file ends with:\n"
        << text.substr(text.size() > 300 ? text.size() - 300 : 0);
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    EXPECT_TRUE(std::regex_match(text.substr(expected.size()),
                                 std::regex("[0-9-]{10} [0-9:.]{12} log closed at process exit\n")))
        << text.substr(expected.size());
}

// The writer thread stays blocked on the unread pipe: the exit drain gives up on it and the
// exit goes on.
TEST_F(LogFileAtExitTest, AWriterThatNeverFinishesHoldsTheExitUpForABoundedTime) {
    ASSERT_TRUE(WaitForFileWhileRunning(folder / kExiting, child, std::chrono::seconds(20)))
        << "the program did not get to its exit";
    EXPECT_TRUE(WaitForFileWhileRunning(folder / kExitDrainOver, child, std::chrono::seconds(10)))
        << "the exit drain was still waiting for the writer thread after 10 s";
    // Read, so that the writer thread and with it the program can end.
    ReadAll(pipe);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
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
