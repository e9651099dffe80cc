// An application may ask std::cout to throw when it fails. A log line on a failing standard output
// must not end the application (the log functions are noexcept: a throw inside ends the process),
// and the line still reaches the log file.

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <streambuf>
#include <string>

#include "log/LogFileWriter.h"
#include "log/LogLine.h"
#include "log/LogOutput.h"

namespace {

// A standard output that takes nothing, as a closed pipe or a full disk.
class FailingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

struct LogPath {
    const char* name;
    std::function<void()> log;
    std::string line;
};

void PrintTo(const LogPath& path, std::ostream* out) {
    *out << path.name;
}

const std::string kLongLine = std::string(700, 'x') + '\n';  // past LogLine's buffer

class LogOutputTest : public testing::TestWithParam<LogPath> {
protected:
    void SetUp() override {
        TakeQueued();
        saved_ = std::cout.rdbuf(&failing_);
        // Both bits: the first failure sets badbit, every later call failbit.
        std::cout.exceptions(std::ios::badbit | std::ios::failbit);
    }

    void TearDown() override {
        std::cout.exceptions(std::ios::goodbit);
        std::cout.rdbuf(saved_);
        std::cout.clear();
    }

    static std::string TakeQueued() {
        std::string text;
        while (LogFileWriter::Instance().Queue().PopInto(
            [&](const char* data, size_t size) { text.append(data, size); })) {
        }
        return text;
    }

    FailingBuffer failing_;
    std::streambuf* saved_ = nullptr;
};

TEST_P(LogOutputTest, AFailingStandardOutputSetToThrowLosesTheLineThereOnly) {
    GetParam().log();
    EXPECT_TRUE(std::cout.bad()) << "the application still sees its stream fail";
    GetParam().log();
    EXPECT_EQ(TakeQueued(), GetParam().line + GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LogOutputTest,
    // Lines that are not per-frame lines, which the file would thin.
    testing::Values(
        LogPath{"WriteLogOutput", [] { WriteLogOutput("Connected...\n", 13); }, "Connected...\n"},
        LogPath{"LogText", [] { LogText("Unable to find headset position\n"); },
                "Unable to find headset position\n"},
        LogPath{"LogLine", [] { LogLine() << "Response[0] = " << 1.5f << ", " << 2 << '\n'; },
                "Response[0] = 1.5, 2\n"},
        LogPath{"LongLogLine", [] { LogLine() << kLongLine; }, kLongLine}),
    [](const testing::TestParamInfo<LogPath>& path) { return std::string(path.param.name); });

}  // namespace
