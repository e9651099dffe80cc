// What the log file holds beyond the lines themselves: the head at the top of every file, the time
// each line was logged, and per-frame lines thinned to one a second with a count of the rest.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"
#include "platform/Platform.h"

namespace {

constexpr int64_t kSecond = 1'000'000'000;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string TimeText(int64_t wallNanoseconds) {
    char text[32];
    platform::FormatLocalTime(wallNanoseconds, text);
    return text;
}

class LogFileContentTest : public testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Drains until no drain is left to the writer thread and the file holds `part` (bounded).
    std::string DrainUntilTheFileHolds(LogFileWriter& writer, const std::string& part) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::string held;
        do {
            writer.Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            held = ReadFile(logPath);
        } while (held.find(part) == std::string::npos && std::chrono::steady_clock::now() < until);
        return held;
    }

    std::filesystem::path folder = MakeTemporaryDirectory();
    std::filesystem::path logPath = folder / LogFile::kFileName;
};

TEST_F(LogFileContentTest, AfterRotationsEveryFileStartsWithTheWholeHeadAndNoLineIsLost) {
    LogFileWriter writer(400);
    writer.AppendHead("options as read:\n  predictdisplaytime = true\n");
    ASSERT_FALSE(writer.Start(folder.string(), "first line, process 1\n").empty());
    writer.AppendHead("configuration file: /somewhere/TarvexOpenXRConfig.ini\n");
    const int64_t start = platform::CoarseWallClockNanoseconds();
    constexpr int kCount = 60;  // about 2 KiB of lines: several rotations at 400 bytes
    for (int i = 0; i < kCount; ++i) {
        const std::string line = "ordinary line " + std::to_string(i) + "\n";
        writer.Push(line.data(), line.size(), start);
        if (i % 8 == 0) {
            DrainUntilTheFileHolds(writer, line);
        }
    }
    const std::string current =
        DrainUntilTheFileHolds(writer, "ordinary line " + std::to_string(kCount - 1) + "\n");
    const std::string older = ReadFile(logPath.string() + ".1");

    const std::regex head(
        "first line, process 1\n"
        "[0-9-]{10} [0-9:.]{12} options as read:\n"
        "[0-9-]{10} [0-9:.]{12}   predictdisplaytime = true\n"
        "[0-9-]{10} [0-9:.]{12} configuration file: /somewhere/TarvexOpenXRConfig.ini\n"
        "[0-9-]{10} [0-9:.]{12} \\(continued: file started [0-9-]{10} [0-9:.]{12} after rotation; "
        "the lines before are in [^\n]*tarvex_tracking\\.log\\.1\\)\n"
        "(.|\n)*");
    EXPECT_TRUE(std::regex_match(current, head)) << current;
    EXPECT_TRUE(std::regex_match(older, head)) << older;

    // The lines of the two files follow each other without a gap, up to the last one logged.
    std::vector<int> numbers;
    for (const std::string& line : Lines(older + current)) {
        const size_t at = line.find("ordinary line ");
        if (at != std::string::npos) {
            numbers.push_back(std::stoi(line.substr(at + 14)));
        }
    }
    ASSERT_GE(numbers.size(), 2u);
    EXPECT_EQ(numbers.back(), kCount - 1);
    for (size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1)
            << "between " << numbers[i - 1] << " and " << numbers[i];
    }
}

TEST_F(LogFileContentTest, EachLineCarriesTheTimeItWasLoggedOnce) {
    LogFileWriter writer;
    ASSERT_FALSE(writer.Start(folder.string(), "").empty());
    // An hour ago: a writer that stamped lines when it wrote them would show now instead.
    const int64_t logged = platform::CoarseWallClockNanoseconds() - 3600 * kSecond;
    const std::string stamp = TimeText(logged) + ' ';
    const std::string longLine = std::string(LogQueue::kSlotText * 2 + 17, 'x') + "\n";

    writer.Push("Connected...\n", 13, logged);
    writer.Push(longLine.data(), longLine.size(), logged);
    const std::string twoLines = "settings as read:\n  hmdrbid = 7\n";
    writer.Push(twoLines.data(), twoLines.size(), logged);
    writer.Push("Initializing Orvix in ", 22, logged);  // a line written in two pieces
    writer.Push("unicast\n", 8, logged + kSecond);
    writer.Queue().Push("raw text\n", 9);

    const std::string expected = stamp + "Connected...\n" + stamp + longLine + stamp +
                                 "settings as read:\n" + stamp + "  hmdrbid = 7\n" + stamp +
                                 "Initializing Orvix in unicast\nraw text\n";
    EXPECT_EQ(DrainUntilTheFileHolds(writer, "raw text\n"), expected);
    EXPECT_TRUE(std::regex_match(stamp, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2} "
                                                   "[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ")))
        << stamp;
}

// Lines logged before the file opens (at instance creation) come right after the head recorded by
// then, before the head lines the start-up appends once the file is open: times never go back.
TEST_F(LogFileContentTest, LinesLoggedBeforeTheFileOpensPrecedeLaterHeadLines) {
    LogFileWriter writer;
    const int64_t created = platform::CoarseWallClockNanoseconds() - 2 * kSecond;
    writer.Push("Options ignored: a problem\n", 27, created);
    ASSERT_FALSE(writer.Start(folder.string(), "first line\n").empty());
    writer.AppendHead("configuration file: /somewhere/TarvexOpenXRConfig.ini\n");
    const std::string text = DrainUntilTheFileHolds(writer, "configuration file");
    EXPECT_TRUE(
        std::regex_match(text, std::regex("first line\n" + TimeText(created) +
                                          " Options ignored: a problem\n"
                                          "[0-9-]{10} [0-9:.]{12} configuration file: [^\n]*\n")))
        << text;
}

// Frames every 10 ms for 2.5 s of simulated time, each with the view hook's and the frame
// intake's per-frame lines and one ordinary line.
TEST_F(LogFileContentTest, PerFrameLinesReachTheFileOnceASecondWithTheCountLeftOut) {
    LogFileWriter writer;
    ASSERT_FALSE(writer.Start(folder.string(), "").empty());
    const int64_t start = platform::CoarseWallClockNanoseconds();
    constexpr int kFrames = 251;
    for (int i = 0; i < kFrames; ++i) {
        const int64_t now = start + i * (kSecond / 100);
        const std::string frame = "Setting HMD pos to " + std::to_string(i) + ", 1.5, 0\n";
        writer.Push(frame.data(), frame.size(), now);
        writer.Push("Position set\n", 13, now);
        const std::string ordinary = "Waiting " + std::to_string(i) + "\n";
        writer.Push(ordinary.data(), ordinary.size(), now);
        if (i % 50 == 0) {
            writer.Drain();
        }
    }
    writer.Push("Position not set\n", 17, start + kFrames * (kSecond / 100));
    writer.Push("last\n", 5, start + kFrames * (kSecond / 100));
    const std::string text = DrainUntilTheFileHolds(writer, "last\n");

    std::vector<std::string> positions;
    std::vector<std::string> frames;
    int ordinary = 0;
    for (const std::string& line : Lines(text)) {
        const std::string body = line.substr(24);  // after the time
        if (body.rfind("Position", 0) == 0) {
            positions.push_back(body);
        } else if (body.rfind("Setting HMD pos to ", 0) == 0) {
            frames.push_back(body);
        } else if (body.rfind("Waiting ", 0) == 0) {
            EXPECT_EQ(body, "Waiting " + std::to_string(ordinary)) << "ordinary lines all kept";
            ++ordinary;
        }
    }
    EXPECT_EQ(ordinary, kFrames);
    EXPECT_EQ(positions,
              (std::vector<std::string>{
                  "Position set", "Position set (99 like it left out since the last)",
                  "Position set (99 like it left out since the last)", "Position not set"}));
    EXPECT_EQ(frames, (std::vector<std::string>{
                          "Setting HMD pos to 0, 1.5, 0",
                          "Setting HMD pos to 100, 1.5, 0 (99 like it left out since the last)",
                          "Setting HMD pos to 200, 1.5, 0 (99 like it left out since the last)"}));
}

// The reference space's "Waiting" every tenth of a second while no pose comes is thinned like the
// per-frame lines; at exit a closing line counts what was left out since the last of each kind.
TEST_F(LogFileContentTest, TheExitDrainEndsTheFileWithAClosingLineCountingWhatWasLeftOut) {
    LogFileWriter writer;
    ASSERT_FALSE(writer.Start(folder.string(), "").empty());
    const int64_t start = platform::CoarseWallClockNanoseconds();
    for (int i = 0; i < 30; ++i) {  // three seconds of waiting
        writer.Push("Waiting\n", 8, start + i * (kSecond / 10));
    }
    writer.Push("Unable to find headset position\n", 32, start + 3 * kSecond);
    for (int i = 0; i < 5; ++i) {
        writer.Push("Position set\n", 13, start + 3 * kSecond);
    }
    writer.Push("a piece without its line end", 28, start + 3 * kSecond);
    ASSERT_TRUE(writer.DrainAtExit());

    std::vector<std::string> bodies;
    for (const std::string& line : Lines(ReadFile(logPath))) {
        bodies.push_back(line.substr(24));  // after the time
    }
    EXPECT_EQ(bodies,
              (std::vector<std::string>{
                  "Waiting", "Waiting (9 like it left out since the last)",
                  "Waiting (9 like it left out since the last)", "Unable to find headset position",
                  "Position set", "a piece without its line end",
                  "log closed at process exit; 13 lines left out since the last of their kind"}));
}

}  // namespace
