#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "TarvexVersion.h"
#include "TestSupport.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"
#include "log/LogOutput.h"
#include "platform/Platform.h"
#include "tracking/StartupLog.h"

namespace {

// The process-wide log file: one test in its own program, as the file opens once per process.
TEST(StartupLogTest, TheLogFileBesideTheConfigurationHoldsTheSetupAndEveryLine) {
    const std::filesystem::path folder = MakeTemporaryDirectory();
    SetVariable(kConfigVariable, folder.string().c_str());
    const std::string configPath = (folder / kConfigFileName).string();

    TrackingSettings settings;
    settings.connectionType = 1;
    settings.localAddress = "127.0.0.1";
    settings.serverAddress = "10.0.0.5";
    settings.hmdRigidBodyId = 7;
    settings.ipd = 63.5f;
    settings.overrideRight = true;
    settings.rightControllerRigidBodyId = 11;
    settings.leftControllerRigidBodyId = 12;

    // A head line recorded before the file opens, as the options are at instance creation; the
    // start-up comes at least a stamp's step later.
    WriteLogFileOnly("recorded before the file opened\n");
    char recordedAt[32];
    platform::FormatLocalTime(platform::CoarseWallClockNanoseconds(), recordedAt);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (char now[32]; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
        platform::FormatLocalTime(platform::CoarseWallClockNanoseconds(), now);
        if (std::string(now) != recordedAt) {
            break;
        }
    }

    testing::internal::CaptureStdout();
    LogStartupBegins(configPath);
    LogSettingsAsRead(settings);
    WriteLogOutput("Position set\n", 13);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position set\n")
        << "standard output gets the lines and nothing of the file's own";
    // The writer thread may be draining when the test's drain is asked for: read until the last
    // line is there, within a bound.
    std::ostringstream text;
    for (int attempt = 0; attempt < 200; ++attempt) {
        LogFileWriter::Instance().Drain();
        std::ifstream file(folder / LogFile::kFileName, std::ios::binary);
        text.str("");
        text << file.rdbuf();
        if (text.str().ends_with("Position set\n")) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Every line after the time it was logged.
    const std::string t = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ";
    const std::string expected =
        t + "tarvex_tracking " + kTarvexVersion +
        R"( \(stand-in client library, talks only to tarvex-mocap-sim\))"
        ", XR_APILAYER_TARVEX_tracking_override: log of process [0-9]+, started "
        "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\n" +
        t + "recorded before the file opened\n" + t + "configuration file: " +
        std::regex_replace(configPath, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + "\n" + t +
        "settings as read:\n" + t + "  connectiontype  -> unicast\n" + t +
        "  localaddress    = 127.0.0.1\n" + t + "  serveraddress   = 10.0.0.5\n" + t +
        "  hmdrbid         = 7\n" + t + "  ipd             = 63.5 mm\n" + t +
        "  overrider       = true\n" + t + "  controllerrrbid = 11\n" + t +
        "  overridel       = false\n" + t + "  controllerlrbid = 12\n" + t + "Position set\n";
    EXPECT_TRUE(std::regex_match(text.str(), std::regex(expected))) << text.str();
    // Down the file, times never go back: the first line is as early as any head line.
    std::istringstream lines(text.str());
    std::string previous;
    for (std::string line; std::getline(lines, line);) {
        const std::string stamp = line.substr(0, 23);
        EXPECT_LE(previous, stamp) << "a line stamped earlier than the one above:\n" << text.str();
        previous = stamp;
    }
    SetVariable(kConfigVariable, nullptr);
}

}  // namespace
