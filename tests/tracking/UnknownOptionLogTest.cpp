#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "TrackerFixture.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"

namespace {

// The process-wide log file opens once per process: this test has a program of its own.
class UnknownOptionLogTest : public TrackerTest {};

// A misspelt option is named in the log file when the tracker starts, and standard output stays
// exactly what it always was.
TEST_F(UnknownOptionLogTest, TheLogFileNamesAnUnknownOptionKeyAndStandardOutputDoesNot) {
    WriteConfig(SettingsFile{}.Text() +
                "[OPTIONS]\npredictdisplaytime = true\nmaxpredictionsms = 30\n");
    const std::string output = CapturedOutput([&] { tracker_->Initialise(); });
    EXPECT_EQ(output,
              "Initializing Orvix in multicast, server: 127.0.0.2, client: 127.0.0.1, rigid body "
              "ID: 7\nConnected...\nReceived server descriptions...\n");
    LogFileWriter::Instance().Drain();

    std::ifstream file(directory_ / LogFile::kFileName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    const std::string expected =
        "  controllerlrbid = 12\n"
        "option key 'maxpredictionsms' in [OPTIONS] is unknown and ignored (did you mean "
        "'maxpredictionms'?)\n";
    // The times the lines were logged aside.
    const std::string lines =
        std::regex_replace(text.str(), std::regex("(^|\n)[0-9-]{10} [0-9:.]{12} "), "$1");
    EXPECT_NE(lines.find(expected), std::string::npos) << text.str();
}

}  // namespace
