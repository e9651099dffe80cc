// A wait for the headset that fails says why in the log file, against the simulated server
// through the stand-in client library; standard output stays what it always was. The log file
// opens once per process: every case runs in a process of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "TrackerSimFixture.h"
#include "log/LogFile.h"
#include "log/LogFileWriter.h"
#include "override/PoseOverride.h"
#include "tracking/StartupLog.h"

namespace {

// The fifty pauses of the wait, one second in all: long enough for the simulator's frames.
void ShortPause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

XRAPI_ATTR XrResult XRAPI_CALL RuntimeNeverReached(XrSession, const XrReferenceSpaceCreateInfo*,
                                                   XrSpace*) {
    ADD_FAILURE() << "the runtime was called although no headset pose came";
    return XR_SUCCESS;
}

std::string Repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

class HeadsetWaitLogTest : public TrackerSimFixture {
protected:
    // The file is started as the start-up starts it; the tracker is set up as the start-up
    // leaves it, towards the given command port.
    void StartTracker(int32_t hmdRigidBodyId, uint16_t commandPort, uint16_t dataPort) {
        LogStartupBegins((directory / "TarvexOpenXRConfig.ini").string());
        tracker.settingsAsRead.connectionType = 1;
        tracker.settingsAsRead.serverAddress = "127.0.0.1";
        tracker.settingsAsRead.hmdRigidBodyId = hmdRigidBodyId;
        tracker.headset.id = hmdRigidBodyId;
        tracker.ipd = 64.0f;
        tracker.initialised.store(true);
        tracker.connectParams.connectionType = 1;
        tracker.connectParams.commandPort = commandPort;
        tracker.connectParams.dataPort = dataPort;
        tracker.connectParams.serverAddress = "127.0.0.1";
        tracker.connectParams.localAddress = "127.0.0.1";
        tracker.ConnectToServer(tracker.connectParams);
    }

    // Waits as the layer's xrCreateReferenceSpace does; returns standard output.
    std::string FailedWait() {
        XrReferenceSpaceCreateInfo info{XR_TYPE_REFERENCE_SPACE_CREATE_INFO};
        info.referenceSpaceType = XR_REFERENCE_SPACE_TYPE_LOCAL;
        info.poseInReferenceSpace.orientation.w = 1.0f;
        XrSpace space = XR_NULL_HANDLE;
        testing::internal::CaptureStdout();
        const XrResult result = CreateReferenceSpaceAtTrackedPose(
            tracker, RuntimeNeverReached, ShortPause, XR_NULL_HANDLE, &info, &space);
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, XR_ERROR_SESSION_NOT_READY);
        return output;
    }

    // The log file's lines from the failure on, their times aside.
    std::string FileLinesFromTheFailure() {
        LogFileWriter::Instance().Drain();
        std::ifstream file(directory / LogFile::kFileName, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        const std::string lines =
            std::regex_replace(text.str(), std::regex("(^|\n)[0-9-]{10} [0-9:.]{12} "), "$1");
        const size_t failure = lines.find("Unable to find headset position\n");
        return failure == std::string::npos ? "no failure in the file:\n" + lines
                                            : lines.substr(failure);
    }

    const std::string standardOutput =
        Repeat("Waiting\n", 50) + "Unable to find headset position\n";
};

TEST_F(HeadsetWaitLogTest, AHeadsetIdTheStreamDoesNotCarryIsNamedWithTheIdsItDoes) {
    SimOptions options = FixedHeadset();
    options.commandPort = 0;
    options.dataPort = UnusedPort();
    ASSERT_NE(options.dataPort, 0);
    options.headsetId = 1;
    options.bodyCount = 4;
    server = std::make_unique<SimServer>(options, [](const std::string&) {});
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;

    testing::internal::CaptureStdout();
    StartTracker(7, server->CommandPort(), options.dataPort);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(tracker.client.load(), nullptr) << "the tracker did not connect to the simulator";

    EXPECT_EQ(FailedWait(), standardOutput);
    const std::string lines = FileLinesFromTheFailure();
    EXPECT_TRUE(std::regex_search(
        lines, std::regex("^Unable to find headset position\nheadset rigid body 7 \\(hmdrbid\\) "
                          "was not in the stream; the stream carries rigid bodies 1, 2, 3, 4 "
                          "\\([1-9][0-9]* frames in [0-9]+\\.[0-9] s\\)\n")))
        << lines;
}

TEST_F(HeadsetWaitLogTest, AServerThatNeverAnswersIsReportedAsNoFrameAndNoConnection) {
    // The port is held here, so whatever runs on the machine, nothing answers.
    SilentPort silent;
    ASSERT_NE(silent.Port(), 0);
    testing::internal::CaptureStdout();
    StartTracker(1, silent.Port(), UnusedPort());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(tracker.client.load(), nullptr);

    EXPECT_EQ(FailedWait(), standardOutput);
    const std::string lines = FileLinesFromTheFailure();
    EXPECT_TRUE(std::regex_search(
        lines, std::regex("^Unable to find headset position\nno motion-capture frame arrived "
                          "from 127\\.0\\.0\\.1 in [0-9]+\\.[0-9] s; unicast, not connected: the "
                          "connection attempt failed\n")))
        << lines;
}

}  // namespace
