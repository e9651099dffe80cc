#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "TrackerFixture.h"
#include "platform/Platform.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr const char* kIdleLine = "Orvix reconnect logic idle. Restarting discovery.\n";
constexpr const char* kStaleLine = "Orvix frame timestamp is stale. Restarting discovery.\n";
constexpr const char* kDiscoveredLine = "Zintor server discovered, auto-connecting...\n";

class WatchdogTest : public TrackerTest {
protected:
    // One pass at the given time; returns what it printed and whether the loop would pause.
    std::pair<std::string, bool> Pass(double now) {
        bool pauses = false;
        auto output = CapturedOutput([&] { pauses = tracker_->WatchdogPass(now); });
        return {output, pauses};
    }

    std::string Announce(const DiscoveredServer& server) {
        bool reported = false;
        auto output = CapturedOutput([&] { reported = scripted::Announce(server); });
        EXPECT_TRUE(reported);
        return output;
    }

    bool Searching() const {
        return tracker_->client.load() == nullptr && tracker_->discoveryActive.load();
    }

    static DiscoveredServer Server() {
        return scripted::MakeServer("127.0.0.9", "127.0.0.1", true);
    }
};

TEST_F(WatchdogTest, IdleStartsADiscoveryAndGoesOnAtOnce) {
    Configure(0);
    const auto [output, pauses] = Pass(100.0);
    EXPECT_EQ(output, kIdleLine);
    EXPECT_FALSE(pauses);
    EXPECT_THAT(scripted::Calls(), ElementsAre("CreateAsyncServerDiscovery"));
    EXPECT_NE(tracker_->discovery.load(), nullptr);
    EXPECT_TRUE(Searching());
}

TEST_F(WatchdogTest, SearchingAndConnectingAreLeftAlone) {
    Configure(0);
    Pass(100.0);
    scripted::ClearCalls();
    for (const double now : {100.0, 1e6, -1e6}) {
        EXPECT_EQ(Pass(now), std::make_pair(std::string(), true));
    }
    Announce(Server());
    ASSERT_NE(tracker_->client.load(), nullptr);
    scripted::ClearCalls();
    // Connecting: a connection whose stream never starts is not examined.
    for (const double now : {100.0, 1e6, -1e6}) {
        EXPECT_EQ(Pass(now), std::make_pair(std::string(), true));
    }
    EXPECT_THAT(scripted::Calls(), IsEmpty());
    EXPECT_TRUE(tracker_->discoveryActive.load());
}

TEST_F(WatchdogTest, StreamingIsStaleOnlyBeyondFiveSecondsEitherWay) {
    const struct {
        double age;
        bool stale;
    } cases[] = {{0.0, false},      {5.0, false},  {-5.0, false}, {5.000001, true},
                 {-5.000001, true}, {4.99, false}, {3600.0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.age);
        Connect(0);
        tracker_->lastFrameTime.store(1000.0);

        const auto [output, pauses] = Pass(1000.0 + c.age);

        EXPECT_TRUE(pauses);
        if (c.stale) {
            EXPECT_EQ(output, std::string(kStaleLine) + "Orvix disconnect success\n");
            EXPECT_THAT(scripted::Calls(),
                        ElementsAre("SendMessageAndWait(Disconnect)", "Disconnect()",
                                    "~OrvixClient()", "CreateAsyncServerDiscovery"));
            EXPECT_TRUE(Searching());
            EXPECT_NE(tracker_->discovery.load(), nullptr);
            Orvix_FreeAsyncServerDiscovery(tracker_->discovery.exchange(nullptr));
            tracker_->discoveryActive.store(false);
        } else {
            EXPECT_EQ(output, "");
            EXPECT_THAT(scripted::Calls(), IsEmpty());
            EXPECT_NE(tracker_->client.load(), nullptr);
            CapturedOutput([&] { tracker_->DisconnectFromServer(); });
        }
    }
}

TEST_F(WatchdogTest, WalksThroughEveryState) {
    Configure(1);
    // idle -> searching
    EXPECT_EQ(Pass(10.0).first, kIdleLine);
    ASSERT_TRUE(Searching());

    // searching -> connecting: the discovered server is connected with its own mode, and the
    // configured unicast still resets the subscriptions.
    EXPECT_EQ(Announce(Server()),
              std::string(kDiscoveredLine) +
                  "Initializing Orvix in multicast, server: 127.0.0.9, client: 127.0.0.1, rigid "
                  "body ID: 7\nConnected...\nReceived server descriptions...\n"
                  "Orvix subscriptions successfully reset\nUpdating subscriptions\n");
    EXPECT_NE(tracker_->client.load(), nullptr);
    EXPECT_TRUE(tracker_->discoveryActive.load());

    // A server reported again while connected is ignored.
    scripted::ClearCalls();
    EXPECT_EQ(Announce(Server()), "");
    EXPECT_THAT(scripted::Calls(), IsEmpty());

    // connecting -> streaming: the first frame ends the discovery.
    EXPECT_TRUE(scripted::DeliverFrame([](sFrameOfMocapData& frame) { frame.nRigidBodies = 0; }));
    EXPECT_FALSE(tracker_->discoveryActive.load());
    EXPECT_EQ(tracker_->discovery.load(), nullptr);
    EXPECT_THAT(scripted::Calls(), ElementsAre("FreeAsyncServerDiscovery"));
    const double lastFrame = tracker_->lastFrameTime.load();
    EXPECT_EQ(Pass(lastFrame + 1.0).first, "");

    // streaming -> searching once the stream is quiet.
    EXPECT_EQ(Pass(lastFrame + 6.0).first, std::string(kStaleLine) + "Orvix disconnect success\n");
    EXPECT_TRUE(Searching());
    EXPECT_EQ(scripted::LiveClients(), 0);
    EXPECT_EQ(scripted::LiveDiscoveries(), 1);
}

TEST_F(WatchdogTest, AFailedDiscoveredConnectionKeepsSearching) {
    Configure(0);
    Pass(10.0);
    scripted::SetConnectCode(5);
    EXPECT_EQ(Announce(Server()),
              std::string(kDiscoveredLine) +
                  "Initializing Orvix in multicast, server: 127.0.0.9, client: 127.0.0.1, rigid "
                  "body ID: 7\nOrvixClient::Connect returned error code5\n"
                  "Orvix disconnect success\n");
    EXPECT_TRUE(Searching());

    // The discovery goes on, so the next report of the server is another attempt.
    scripted::SetConnectCode(0);
    EXPECT_EQ(Announce(Server()).rfind(kDiscoveredLine, 0), 0u);
    EXPECT_NE(tracker_->client.load(), nullptr);
}

TEST_F(WatchdogTest, DiscoveredServersAreConnectedWithTheirOwnRecord) {
    const struct {
        const char* name;
        DiscoveredServer server;
        int32_t configuredType;
        std::string connectCall;
        std::string firstLine;
    } cases[] = {
        {"multicast", scripted::MakeServer("127.0.0.9", "127.0.0.1", true), 0,
         "Connect(type=0, command=0, data=0, server=127.0.0.9, local=127.0.0.1, group=null, "
         "option=0, reserved=0)",
         "Initializing Orvix in multicast, server: 127.0.0.9, client: 127.0.0.1, rigid body ID: "
         "7\n"},
        {"unicast", scripted::MakeServer("127.0.0.9", "127.0.0.1", false), 0,
         "Connect(type=1, command=0, data=0, server=127.0.0.9, local=127.0.0.1, group=null, "
         "option=0, reserved=0)",
         "Initializing Orvix in unicast, server: 127.0.0.9, client: 127.0.0.1, rigid body ID: "
         "7\n"},
        // Sixteen bytes without a terminator: the text ends with the field.
        {"unterminated addresses",
         scripted::MakeServer("127.100.100.1001", "127.200.200.2002", false), 0,
         "Connect(type=1, command=0, data=0, server=127.100.100.1001, local=127.200.200.2002, "
         "group=null, option=0, reserved=0)",
         "Initializing Orvix in unicast, server: 127.100.100.1001, client: 127.200.200.2002, "
         "rigid body ID: 7\n"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        // Bytes after the address fields that an unbounded read would pick up.
        std::fill(std::begin(c.server.serverInfo), std::end(c.server.serverInfo), 'X');
        Configure(c.configuredType);
        Pass(10.0);
        scripted::ClearCalls();

        const auto output = Announce(c.server);

        EXPECT_EQ(output.rfind(std::string(kDiscoveredLine) + c.firstLine, 0), 0u) << output;
        const auto calls = scripted::Calls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls[2], c.connectCall);
        StopTracker();
        tracker_ = std::make_unique<MocapTracker>();
    }
}

TEST_F(WatchdogTest, TheWatchdogThreadRecoversFromAFailedStartUp) {
    scripted::SetConnectCode(1);
    WriteConfig(SettingsFile{}.Text());
    testing::internal::CaptureStdout();
    tracker_->Initialise();

    // The first pass follows the start-up at once; later passes leave the discovery alone.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (scripted::LiveDiscoveries() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    scripted::SetConnectCode(0);
    const bool reported = scripted::Announce(Server());
    const bool delivered = scripted::DeliverFrame([](sFrameOfMocapData& frame) {
        frame.nRigidBodies = 1;
        frame.rigidBodies[0] = RigidBodyEntry{7, 1, 2, 3, 0, 0, 0, 1, 0, 0};
        frame.cameraMidExposureTimestamp = 1;
    });
    tracker_->watchdogStop.store(true);
    tracker_->watchdogThread.join();
    const auto output = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(reported);
    EXPECT_TRUE(delivered);
    EXPECT_EQ(output,
              "Initializing Orvix in multicast, server: 127.0.0.2, client: 127.0.0.1, rigid body "
              "ID: 7\nOrvixClient::Connect returned error code1\nOrvix disconnect success\n" +
                  std::string(kIdleLine) + kDiscoveredLine +
                  "Initializing Orvix in multicast, server: 127.0.0.9, client: 127.0.0.1, rigid "
                  "body ID: 7\nConnected...\nReceived server descriptions...\n"
                  "Setting HMD pos to -1, 2, -3\n");
    EXPECT_EQ(scripted::LiveDiscoveries(), 0);
    EXPECT_TRUE(tracker_->ReadPose().valid);
}

TEST_F(WatchdogTest, DestroyingATrackerStopsItsWatchdog) {
    WriteConfig(SettingsFile{}.Text());
    CapturedOutput([&] { tracker_->Initialise(); });
    ASSERT_TRUE(tracker_->watchdogThread.joinable());
    // Keeps the watchdog's passes idle, as below: a discovery it started after the disconnect
    // would outlive the tracker.
    tracker_->discoveryActive.store(true);
    CapturedOutput([&] { tracker_->DisconnectFromServer(); });
    tracker_.reset();  // joins; a watchdog that ignored the stop would hang here
}

TEST_F(WatchdogTest, DestroyingATrackerEndsItsWatchdogWithinAFewLoopPeriods) {
    WriteConfig(SettingsFile{}.Text());
    CapturedOutput([&] { tracker_->Initialise(); });
    ASSERT_TRUE(tracker_->watchdogThread.joinable());
    // A discovery counted as running keeps the watchdog's passes idle: one it started now would
    // outlive the tracker, which never frees it, and this test looks only at the stop.
    tracker_->discoveryActive.store(true);
    CapturedOutput([&] { tracker_->DisconnectFromServer(); });
    // Let the watchdog reach its pause between passes, where a stop must still be noticed.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    // Destroyed on a thread of its own, so that a watchdog that ignores the stop fails this test
    // instead of hanging it.
    MocapTracker* const tracker = tracker_.release();
    std::promise<void> destroyed;
    auto done = destroyed.get_future();
    std::thread destroyer([tracker, &destroyed] {
        delete tracker;
        destroyed.set_value();
    });
    // The loop pauses for one second between passes; three leave room for a loaded machine.
    const bool stoppedInTime = done.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    if (!stoppedInTime) {
        // Raise the stop the destructor should have raised, so that the destroyer can finish;
        // the tracker's members live until its destructor returns.
        tracker->watchdogStop.store(true);
    }
    destroyer.join();
    EXPECT_TRUE(stoppedInTime) << "destroying the tracker did not stop its watchdog within 3 s";
}

}  // namespace
