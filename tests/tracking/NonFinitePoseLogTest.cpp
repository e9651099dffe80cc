#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "TrackerFixture.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"

namespace {

// The process-wide log file opens once per process: this test has a program of its own.
class NonFinitePoseLogTest : public TrackerTest {};

// A headset pose left out for not being finite is counted in the log file; standard output does
// not hear of it, as it never had such a line.
TEST_F(NonFinitePoseLogTest, TheLogFileCountsPosesLeftOutAndStandardOutputDoesNot) {
    WriteConfig(SettingsFile{}.Text());
    CapturedOutput([&] { tracker_->Initialise(); });

    std::string output;
    for (int frame = 0; frame < 3; ++frame) {
        output += CapturedOutput([&] {
            ASSERT_TRUE(scripted::DeliverFrame([](sFrameOfMocapData& record) {
                record.nRigidBodies = 1;
                record.rigidBodies[0] = RigidBodyEntry{
                    7, std::numeric_limits<float>::quiet_NaN(), 1.7f, 0, 0, 0, 0, 1, 0.0f, 0};
                record.cameraMidExposureTimestamp = 1000;
            }));
        });
    }
    EXPECT_EQ(output, "");
    LogFileWriter::Instance().Drain();

    std::ifstream file(directory_ / LogFile::kFileName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find(" Headset poses left out for values that are not finite: 1 so far\n"),
              std::string::npos)
        << text.str();
}

}  // namespace
