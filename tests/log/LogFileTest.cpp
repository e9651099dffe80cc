// The log file's size cap when more than one process logs into the folder, and when the file
// cannot be rotated.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

#include "TestSupport.h"
#include "log/LogFile.h"

namespace {

constexpr uint64_t kCap = 1000;
constexpr int kLines = 80;  // 24 bytes each: each writer passes the cap once, within twice it

std::string Line(char writer, int index) {
    char text[32];
    std::snprintf(text, sizeof(text), "writer %c, line %02d of 80\n", writer, index);
    return text;
}

void WriteLine(LogFile& file, char writer, int index) {
    const std::string line = Line(writer, index);
    file.Write(line.data(), line.size());
    file.Flush();  // as after each of the writer thread's drains
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// How often each line occurs across every file in the folder.
std::map<std::string, int> LinesInFolder(const std::filesystem::path& folder) {
    std::map<std::string, int> lines;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            std::istringstream text(ReadFile(entry.path()));
            for (std::string line; std::getline(text, line);) {
                ++lines[line + '\n'];
            }
        }
    }
    return lines;
}

class LogFileTest : public testing::Test {
protected:
    void TearDown() override {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        std::filesystem::remove_all(folder);
    }

    // Both writers' lines are all in the folder once each, the first writer's under the name users
    // look for, and both files were rotated.
    void ExpectBothWritersKeptEveryLine() {
        std::map<std::string, int> expected;
        for (const char writer : {'A', 'B'}) {
            for (int i = 0; i < kLines; ++i) {
                expected[Line(writer, i)] = 1;
            }
        }
        EXPECT_EQ(LinesInFolder(folder), expected);
        const std::string current = ReadFile(logPath);
        EXPECT_NE(current.find(Line('A', kLines - 1)), std::string::npos) << current;
        EXPECT_EQ(current.find("writer B"), std::string::npos) << current;
        int rotated = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            rotated += entry.path().extension() == ".1" ? 1 : 0;
        }
        EXPECT_EQ(rotated, 2) << "each writer's file passed the cap once";
    }

    std::filesystem::path folder = MakeTemporaryDirectory();
    std::filesystem::path logPath = folder / LogFile::kFileName;
};

TEST_F(LogFileTest, TwoWritersInOneFolderEachKeepEveryLine) {
    LogFile first(kCap);
    LogFile second(kCap);
    ASSERT_TRUE(first.Open(folder.string()));
    ASSERT_TRUE(second.Open(folder.string()));
    EXPECT_EQ(first.Path(), logPath.string());
    EXPECT_NE(second.Path(), first.Path());
    EXPECT_EQ(std::filesystem::path(second.Path()).parent_path(), folder);
    for (int i = 0; i < kLines; ++i) {
        WriteLine(first, 'A', i);
        WriteLine(second, 'B', i);
    }
    ExpectBothWritersKeptEveryLine();
}

// A file opened afresh counts its cap from its own start, not past the head of the file before.
TEST_F(LogFileTest, AReopenedFileRotatesAtItsOwnCap) {
    LogFile file(kCap);
    ASSERT_TRUE(file.Open(folder.string()));
    file.SetHead(std::string(3 * kCap, 'h') + '\n');
    for (int i = 0; i < kLines; ++i) {
        WriteLine(file, 'A', i);  // past the cap: a new file with the long head
    }
    ASSERT_TRUE(std::filesystem::is_regular_file(logPath.string() + ".1"));

    const std::filesystem::path elsewhere = folder / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    ASSERT_TRUE(file.Open(elsewhere.string()));
    ASSERT_EQ(file.Path(), (elsewhere / LogFile::kFileName).string());
    for (int i = 0; i < kLines; ++i) {
        WriteLine(file, 'B', i);
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(file.Path() + ".1"))
        << "80 lines of 24 bytes passed the cap of 1000 without a rotation";
}

#ifndef _WIN32
TEST_F(LogFileTest, TwoProcessesInOneFolderEachKeepEveryLine) {
    LogFile first(kCap);
    ASSERT_TRUE(first.Open(folder.string()));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 1;
        {
            LogFile second(kCap);
            if (second.Open(folder.string())) {
                for (int i = 0; i < kLines; ++i) {
                    WriteLine(second, 'B', i);
                }
                status = 0;
            }
        }
        _exit(status);
    }
    for (int i = 0; i < kLines; ++i) {
        WriteLine(first, 'A', i);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the second process could not open a log file";
    ExpectBothWritersKeptEveryLine();
    EXPECT_TRUE(
        std::filesystem::exists(folder / ("tarvex_tracking." + std::to_string(child) + ".log")))
        << "the second process's file is named by its process id";
}
#endif

#ifdef __linux__
// Root may write into any folder; this thread gives that up for the life of the object
// (capabilities belong to each thread), so that a read-only folder is one for the test too.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
            lowered[CAP_TO_INDEX(capability)].effective &= ~CAP_TO_MASK(capability);
        }
        syscall(SYS_capset, &header_, lowered);
    }
    ~WithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};
#endif

enum class Blocker { ReadOnlyFolder, RotatedNameIsAFolder };

std::string NameOf(Blocker blocker) {
    return blocker == Blocker::ReadOnlyFolder ? "ReadOnlyFolder" : "RotatedNameIsAFolder";
}

void PrintTo(Blocker blocker, std::ostream* out) {
    *out << NameOf(blocker);
}

class UnrotatableLogFileTest : public LogFileTest, public testing::WithParamInterface<Blocker> {};

// The file cannot be renamed: it keeps what it had and every line up to twice the cap, then says
// once that it stops.
TEST_P(UnrotatableLogFileTest, KeepsEveryLineUpToTheHardBoundThenSaysItStops) {
    const std::string earlier = "an earlier session\n";
    std::ofstream(logPath, std::ios::binary) << earlier;
#ifdef __linux__
    std::optional<WithoutPermissionOverride> asUser;
#endif
    if (GetParam() == Blocker::RotatedNameIsAFolder) {
        std::filesystem::create_directories(logPath.string() + ".1/kept");
    } else {
#ifdef __linux__
        std::filesystem::permissions(
            folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec,
            std::filesystem::perm_options::replace);
        asUser.emplace();
        ASSERT_FALSE(std::ofstream(folder / "probe"))
            << "the folder should be read-only for this thread";
#endif
    }

    LogFile file(kCap);
    ASSERT_TRUE(file.Open(folder.string()));
    ASSERT_EQ(file.Path(), logPath.string());
    std::string expected = earlier;
    for (int i = 0; i < kLines; ++i) {
        WriteLine(file, 'A', i);
        expected += Line('A', i);
    }
    EXPECT_EQ(ReadFile(logPath), expected);
    EXPECT_FALSE(std::filesystem::is_regular_file(logPath.string() + ".1"));

    // 19 + 80 * 24 bytes so far: two more lines fit below 2000 bytes.
    for (int i = 0; i < 10; ++i) {
        WriteLine(file, 'C', i);
    }
    const std::string stop =
        "(tarvex_tracking: this log file could not be rotated at its size cap of 1000 bytes; no "
        "more lines are written to it)\n";
    EXPECT_EQ(ReadFile(logPath), expected + Line('C', 0) + Line('C', 1) + stop);
}

std::vector<Blocker> Blockers() {
#ifdef __linux__
    return {Blocker::ReadOnlyFolder, Blocker::RotatedNameIsAFolder};
#else
    return {Blocker::RotatedNameIsAFolder};
#endif
}

INSTANTIATE_TEST_SUITE_P(Blockers, UnrotatableLogFileTest, testing::ValuesIn(Blockers()),
                         [](const testing::TestParamInfo<Blocker>& blocker) {
                             return NameOf(blocker.param);
                         });

}  // namespace
