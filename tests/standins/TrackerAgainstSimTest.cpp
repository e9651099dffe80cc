// The tracker's connection, frame intake and recovery against the simulated server through the
// stand-in client library, on ports the system chooses: nothing else on the machine can break or
// answer these tests, and they may run side by side. The start-up from the configuration file,
// which always connects to the standard ports, is TrackerOnStandardPortsTest.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "TrackerSimFixture.h"
#include "standins/orvix/OrvixStandin.h"

namespace {

class TrackerAgainstSimTest : public TrackerSimFixture {
protected:
    void TearDown() override {
        TrackerSimFixture::TearDown();
        OrvixStandin_SetDefaultPorts(0, 0);
    }

    // The simulator on a command port the system chooses and a data port that was free a moment
    // ago; discovery and the connections it makes (ports of 0) reach it there.
    void StartServer(SimOptions options) {
        options.commandPort = 0;
        options.dataPort = UnusedPort();
        ASSERT_NE(options.dataPort, 0);
        server = std::make_unique<SimServer>(options, [](const std::string&) {});
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
        OrvixStandin_SetDefaultPorts(server->CommandPort(), options.dataPort);
    }

    // What the start-up does once it has read its settings (rigid body 1, server and client on
    // 127.0.0.1), but towards the simulator's ports. connectionType is the library's: 0 for
    // multicast, 1 for unicast.
    void StartTracker(int32_t connectionType) {
        tracker.headset.id = 1;
        tracker.ipd = 64.0f;
        tracker.initialised.store(true);
        tracker.connectParams.connectionType = connectionType;
        tracker.connectParams.commandPort = OrvixStandin_DefaultCommandPort();
        tracker.connectParams.dataPort = OrvixStandin_DefaultDataPort();
        tracker.connectParams.serverAddress = "127.0.0.1";
        tracker.connectParams.localAddress = "127.0.0.1";
        tracker.connectParams.multicastGroup = kOrvixDefaultMulticastGroup;
        tracker.ConnectToServer(tracker.connectParams);
        tracker.watchdogStop.store(false);
        tracker.watchdogThread = std::thread(&MocapTracker::WatchdogLoop, &tracker);
    }
};

struct ModeCase {
    std::string name;
    bool multicast;
    int32_t connectionType;
    std::string lines;  // up to the first frame's line
};

// Test names and failure messages show the case by its name.
void PrintTo(const ModeCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class TrackerModeTest : public TrackerAgainstSimTest,
                        public testing::WithParamInterface<ModeCase> {};

TEST_P(TrackerModeTest, ConnectsInTheModeAndStoresTheHeadset) {
    SimOptions options = FixedHeadset();
    options.multicast = GetParam().multicast;
    ASSERT_NO_FATAL_FAILURE(StartServer(options));

    testing::internal::CaptureStdout();
    StartTracker(GetParam().connectionType);
    ExpectStoredHeadset();
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(StartupLines(output), GetParam().lines);
    EXPECT_NE(output.find("Setting HMD pos to 1, 1.5, 2\n"), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TrackerModeTest,
    testing::Values(ModeCase{"UnicastResetsSubscriptions", false, 1, kUnicastStartupLines},
                    ModeCase{"MulticastSendsNoCommands", true, 0,
                             "Initializing Orvix in multicast, server: 127.0.0.1, client: "
                             "127.0.0.1, rigid body ID: 1\n"
                             "Connected...\n"
                             "Received server descriptions...\n"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(TrackerAgainstSimTest, ANoServerConnectionIsReportedAndStoresNothing) {
    // The port is held here, so whatever runs on the machine, nothing answers.
    SilentPort silent;
    ASSERT_NE(silent.Port(), 0);
    tracker.headset.id = 1;
    tracker.connectParams.connectionType = 1;
    sOrvixClientConnectParams params = tracker.connectParams;
    params.commandPort = silent.Port();
    params.serverAddress = "127.0.0.1";
    params.localAddress = "127.0.0.1";

    testing::internal::CaptureStdout();
    const bool connected = tracker.ConnectToServer(params);
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_FALSE(connected);
    EXPECT_EQ(output,
              "Initializing Orvix in unicast, server: 127.0.0.1, client: 127.0.0.1, rigid body "
              "ID: 1\nOrvixClient::Connect returned error code" +
                  std::to_string(Orvix_ErrorNoServer) +
                  // The client library never connected, so it has nothing to disconnect.
                  "\nOrvix disconnect fail (error code " + std::to_string(Orvix_ErrorNotConnected) +
                  ")\n");
    EXPECT_GE(silent.Received(), 1) << "the connect request never reached the silent port";
    EXPECT_EQ(tracker.client.load(), nullptr);
    EXPECT_FALSE(tracker.ReadPose().valid);
}

TEST_F(TrackerAgainstSimTest, RecoversByDiscoveryWhenTheStreamPausesAndResumes) {
    SimOptions options;  // a walk, so that resumed poses differ from the held one
    options.pauseAfterSeconds = 1.0;
    options.pauseForSeconds = 7.0;
    ASSERT_NO_FATAL_FAILURE(StartServer(options));

    testing::internal::CaptureStdout();
    StartTracker(1);
    const bool firstPose = WaitFor([&] { return tracker.ReadPose().valid; });
    // The stream stops a second after the server's start; the held pose stays readable.
    const bool reconnected =
        WaitFor([&] { return tracker.discoveryActive.load(); }, std::chrono::seconds(9));
    const HmdPose held = tracker.ReadPose();
    const bool movedAgain = WaitFor(
        [&] {
            const HmdPose now = tracker.ReadPose();
            return !tracker.discoveryActive.load() && now.position.x != held.position.x;
        },
        std::chrono::seconds(8));
    const double resumed = tracker.lastFrameTime.load();
    WaitFor([&] { return tracker.lastFrameTime.load() != resumed; });  // its line is out
    const std::string output = testing::internal::GetCapturedStdout();

    ASSERT_TRUE(firstPose);
    ASSERT_TRUE(reconnected) << output;
    EXPECT_TRUE(held.valid);
    EXPECT_TRUE(movedAgain) << "no new pose after the stream resumed";
    const size_t stale = output.find("Orvix frame timestamp is stale. Restarting discovery.\n");
    const size_t disconnect = output.find("Orvix disconnect success\n", stale);
    const size_t discovered = output.find("Zintor server discovered, auto-connecting...\n", stale);
    const size_t connected = output.find("Connected...\n", discovered);
    ASSERT_NE(stale, std::string::npos) << output;
    EXPECT_NE(disconnect, std::string::npos);
    ASSERT_NE(discovered, std::string::npos);
    EXPECT_NE(connected, std::string::npos);
    EXPECT_NE(output.find("Setting HMD pos to", connected), std::string::npos);
    EXPECT_GE(server->Summary().clientsServed, 2u) << "the resumed stream came from elsewhere";
}

}  // namespace
