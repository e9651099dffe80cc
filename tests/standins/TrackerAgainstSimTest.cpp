// The tracker's real start-up path against the simulated server through the stand-in client
// library, on the standard ports the layer uses (the tests hold the mocap_ports lock).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "SimHarness.h"
#include "TestSupport.h"
#include "tracking/MocapTracker.h"

namespace {

// The simulator's headset: (-1, 1.5, -2) turned +30° about its vertical axis.
constexpr MocapPose kHeadset{-1.0f, 1.5f, -2.0f, 0.0f, 0.2588190f, 0.0f, 0.9659258f};

class TrackerAgainstSimTest : public testing::Test {
protected:
    void SetUp() override {
        directory = MakeTemporaryDirectory();
        SetVariable("TARVEX_OPENXR_CONFIG", directory.string().c_str());
        settings.values["serveraddress"] = "127.0.0.1";
        settings.values["hmdrbid"] = "1";
    }

    void TearDown() override {
        // Everything the start-up left running ends before the tracker goes.
        tracker.watchdogStop = true;
        if (tracker.watchdogThread.joinable()) {
            tracker.watchdogThread.join();
        }
        testing::internal::CaptureStdout();
        tracker.DisconnectFromServer();
        if (OrvixDiscoveryHandle running = tracker.discovery.exchange(nullptr)) {
            Orvix_FreeAsyncServerDiscovery(running);
        }
        testing::internal::GetCapturedStdout();
        server.reset();
        SetVariable("TARVEX_OPENXR_CONFIG", nullptr);
        std::filesystem::remove_all(directory);
    }

    void StartServer(SimOptions options) {
        options.commandPort = kOrvixDefaultCommandPort;
        options.dataPort = kOrvixDefaultDataPort;
        server = std::make_unique<SimServer>(options, [](const std::string&) {});
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
    }

    static SimOptions FixedHeadset() {
        SimOptions options;
        options.path.kind = MocapPathKind::kFixed;
        options.path.fixedPose = kHeadset;
        return options;
    }

    void ExpectStoredHeadset() {
        ASSERT_TRUE(WaitFor([&] { return tracker.ReadPose().valid; })) << "no pose arrived";
        const HmdPose pose = tracker.ReadPose();
        EXPECT_NEAR(pose.position.x, 1.0f, 1e-6f);
        EXPECT_NEAR(pose.position.y, 1.5f, 1e-6f);
        EXPECT_NEAR(pose.position.z, 2.0f, 1e-6f);
        EXPECT_NEAR(pose.orientation.y, 0.2588190f, 1e-6f);
        EXPECT_NEAR(pose.orientation.w, 0.9659258f, 1e-6f);
        // The frame thread logs a pose after storing it; the next frame starts only once that
        // line is out.
        const double stored = tracker.lastFrameTime.load();
        EXPECT_TRUE(WaitFor([&] { return tracker.lastFrameTime.load() != stored; }));
    }

    std::filesystem::path directory;
    SettingsFile settings;
    std::unique_ptr<SimServer> server;
    MocapTracker tracker;
};

// Lines from the start of the start-up up to the first frame's line.
std::string StartupLines(const std::string& output) {
    return output.substr(0, output.find("Setting HMD pos to"));
}

struct StartUpCase {
    std::string name;
    bool multicast;
    std::string connectionType;
    std::string lines;  // up to the first frame's line
};

// Test names and failure messages show the case by its name.
void PrintTo(const StartUpCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class TrackerStartUpTest : public TrackerAgainstSimTest,
                           public testing::WithParamInterface<StartUpCase> {};

TEST_P(TrackerStartUpTest, ConnectsInTheConfiguredModeAndStoresTheHeadset) {
    SimOptions options = FixedHeadset();
    options.multicast = GetParam().multicast;
    ASSERT_NO_FATAL_FAILURE(StartServer(options));
    settings.values["connectiontype"] = GetParam().connectionType;
    settings.WriteTo(directory);

    testing::internal::CaptureStdout();
    tracker.Initialise();
    ExpectStoredHeadset();
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(StartupLines(output), GetParam().lines);
    EXPECT_NE(output.find("Setting HMD pos to 1, 1.5, 2\n"), std::string::npos) << output;
    EXPECT_TRUE(tracker.initialised.load());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TrackerStartUpTest,
    testing::Values(
        StartUpCase{"UnicastResetsSubscriptions", false, "0",
                    "Initializing Orvix in unicast, server: 127.0.0.1, client: 127.0.0.1, rigid "
                    "body ID: 1\n"
                    "Connected...\n"
                    "Received server descriptions...\n"
                    "Orvix subscriptions successfully reset\n"
                    "Updating subscriptions\n"},
        StartUpCase{"MulticastSendsNoCommands", true, "1",
                    "Initializing Orvix in multicast, server: 127.0.0.1, client: 127.0.0.1, "
                    "rigid body ID: 1\n"
                    "Connected...\n"
                    "Received server descriptions...\n"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(TrackerAgainstSimTest, RecoversByDiscoveryWhenTheStreamPausesAndResumes) {
    SimOptions options;  // a walk, so that resumed poses differ from the held one
    options.pauseAfterSeconds = 1.0;
    options.pauseForSeconds = 7.0;
    ASSERT_NO_FATAL_FAILURE(StartServer(options));
    settings.values["connectiontype"] = "0";
    settings.WriteTo(directory);

    testing::internal::CaptureStdout();
    tracker.Initialise();
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
}

}  // namespace
