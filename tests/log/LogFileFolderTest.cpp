// Where the log file goes when the configuration folder cannot take it, and that a link planted
// where it would go is never followed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#endif

#include "TestSupport.h"
#include "log/LogFile.h"
#include "log/LogFolders.h"
#include "platform/Platform.h"

namespace {

class LogFileFolderTest : public testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder = MakeTemporaryDirectory();
};

#ifndef _WIN32

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST_F(LogFileFolderTest, AnUnwritableConfigurationFolderSendsTheFileToTheUserStateFolder) {
    const ScopedVariable state("XDG_STATE_HOME", (folder / "state").string());
    LogFile file(1024);
    ASSERT_TRUE(file.Open((folder / "missing" / "deeper").string()));
    EXPECT_EQ(file.Path(), (folder / "state" / "tarvex" / LogFile::kFileName).string());
    struct stat made {};
    ASSERT_EQ(stat((folder / "state" / "tarvex").c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0700u) << "made for this user alone";
    EXPECT_EQ(ExpectedLogFolder((folder / "missing").string()),
              (folder / "state" / "tarvex").string())
        << "the check tool names the folder the layer took";
}

TEST_F(LogFileFolderTest, TheStateFolderFollowsTheVariablesAndTheAccount) {
    passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr) << "this user has no account entry to compare with";
    const std::string accountHome = account->pw_dir;
    struct Case {
        const char* name;
        const char* xdgStateHome;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"XDG_STATE_HOME", "/var/state-of-user", "/home/someone", "/var/state-of-user/tarvex"},
        {"HOME", nullptr, "/home/someone", "/home/someone/.local/state/tarvex"},
        {"a relative XDG_STATE_HOME is ignored", "state", "/home/someone",
         "/home/someone/.local/state/tarvex"},
        {"no HOME: the account's home", nullptr, nullptr, accountHome + "/.local/state/tarvex"},
        {"an empty HOME: the account's home", "", "", accountHome + "/.local/state/tarvex"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedVariable state(
            "XDG_STATE_HOME",
            c.xdgStateHome == nullptr ? std::nullopt : std::optional<std::string>(c.xdgStateHome));
        const ScopedVariable home(
            "HOME", c.home == nullptr ? std::nullopt : std::optional<std::string>(c.home));
        EXPECT_EQ(platform::UserStateFolder(), c.expected);
        EXPECT_EQ(LogFolderCandidates("/etc/tarvex"),
                  (std::vector<std::string>{"/etc/tarvex", c.expected}));
    }
}

// Someone else may plant a link where the file would go; the lines must not reach its target,
// nor a file someone else owns.
TEST_F(LogFileFolderTest, NeitherALinkNorAnotherUsersFileIsWrittenThrough) {
    const std::filesystem::path target = folder / "target.txt";
    std::ofstream(target) << "untouched\n";
    std::filesystem::create_symlink(target, folder / LogFile::kFileName);
    const std::string dangling = (folder / LogFile::kFileName).string() + ".1";
    std::filesystem::create_symlink(folder / "created-through-link", dangling);

    LogFile file(64);
    ASSERT_TRUE(file.Open(folder.string()));
    EXPECT_EQ(
        file.Path(),
        (folder / ("tarvex_tracking." + std::to_string(platform::ProcessId()) + ".log")).string())
        << "the file of this process's own name instead";
    for (int i = 0; i < 8; ++i) {
        file.Write("a line of the session\n", 22);  // past the cap: a rotation as well
    }
    file.Flush();
    EXPECT_EQ(ReadFile(target), "untouched\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "created-through-link"));
    EXPECT_EQ(platform::OpenFileForAppend((folder / LogFile::kFileName).string()), nullptr);

    if (geteuid() == 0) {
        // Only an administrator can hand a file to someone else: the test runs as one.
        const std::filesystem::path foreign = folder / "foreign.log";
        std::ofstream(foreign) << "theirs\n";
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_EQ(platform::OpenFileForAppend(foreign.string()), nullptr);
        EXPECT_EQ(ReadFile(foreign), "theirs\n");
    }
}

struct PipeOutcome {
    bool opened = false;
    std::string path;
    bool raisedBrokenPipe = false;
};

// Opens the log file in `folder` and writes a line, closes `reader` (when there is one) and writes
// another, on a thread of its own that holds SIGPIPE pending instead of ending the process.
PipeOutcome OpenAndWriteWhileTheReaderGoes(const std::filesystem::path& folder, int reader) {
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
    PipeOutcome outcome;
    {
        LogFile file(1024);
        outcome.opened = file.Open(folder.string());
        outcome.path = file.Path();
        file.Write("before the reader goes\n", 23);
        file.Flush();
        if (reader >= 0) {
            close(reader);
        }
        file.Write("after the reader went\n", 22);
        file.Flush();
    }
    sigset_t pending;
    sigpending(&pending);
    outcome.raisedBrokenPipe = sigismember(&pending, SIGPIPE) == 1;
    if (outcome.raisedBrokenPipe) {
        int taken = 0;
        sigwait(&brokenPipe, &taken);  // pending: returns at once
    }
    return outcome;
}

// A named pipe at the log file's path would hold the first write (or the open) until someone
// reads it, and its reader's going would end the application with SIGPIPE: it is never taken.
TEST_F(LogFileFolderTest, ANamedPipeAtThePathIsNeitherWaitedOnNorWrittenTo) {
    const std::filesystem::path stateHome = folder / "state";
    const ScopedVariable state("XDG_STATE_HOME", stateHome.string());
    const std::string ownName = "tarvex_tracking." + std::to_string(platform::ProcessId()) + ".log";
    struct Case {
        const char* name;
        bool pipeAtOwnName;
        bool reader;
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {"no reader: this process's own name instead", false, false, folder / "a" / ownName},
        {"a reader that goes away", false, true, folder / "b" / ownName},
        {"pipes at both names: the user's state folder", true, false,
         stateHome / "tarvex" / LogFile::kFileName},
    };
    const char* subfolders[] = {"a", "b", "c"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::filesystem::path logFolder = folder / subfolders[i];
        std::filesystem::create_directory(logFolder);
        const std::string pipePath = (logFolder / LogFile::kFileName).string();
        ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
        if (c.pipeAtOwnName) {
            ASSERT_EQ(mkfifo((logFolder / ownName).c_str(), 0600), 0);
        }
        const int reader = c.reader ? open(pipePath.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        ASSERT_EQ(reader >= 0, c.reader);

        auto outcome =
            std::async(std::launch::async, OpenAndWriteWhileTheReaderGoes, logFolder, reader);
        if (outcome.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the log file waited for a reader of the named pipe";
            // Readers release the waiting opens, so that the test can end.
            for (const auto& entry : std::filesystem::directory_iterator(logFolder)) {
                close(open(entry.path().c_str(), O_RDONLY | O_NONBLOCK));
            }
        }
        const PipeOutcome got = outcome.get();
        EXPECT_TRUE(got.opened);
        EXPECT_EQ(got.path, c.expected.string());
        EXPECT_FALSE(got.raisedBrokenPipe);
        EXPECT_EQ(ReadFile(c.expected), "before the reader goes\nafter the reader went\n");
    }
}

#else

TEST_F(LogFileFolderTest, AnUnwritableConfigurationFolderSendsTheFileToLocalAppData) {
    const ScopedVariable local("LOCALAPPDATA", folder.string());
    LogFile file(1024);
    ASSERT_TRUE(file.Open((folder / "missing" / "deeper").string()));
    EXPECT_EQ(file.Path(), (folder / "TarvexOpenXR" / LogFile::kFileName).string());
    EXPECT_EQ(ExpectedLogFolder((folder / "missing").string()), (folder / "TarvexOpenXR").string());
}

#endif

}  // namespace
