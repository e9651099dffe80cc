#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "standins/orvix/OrvixStandin.h"
#include "tests/standins/SimHarness.h"
#include "tracking/OrvixLib.h"

namespace {

using namespace std::chrono_literals;

struct Found {
    std::mutex mutex;
    DiscoveredServer last{};
    std::atomic<int> reports{0};

    static void OnServer(const DiscoveredServer* server, void* context) {
        auto* self = static_cast<Found*>(context);
        {
            std::lock_guard lock(self->mutex);
            self->last = *server;
        }
        self->reports.fetch_add(1);
    }
};

// Tests run the simulator on a port the system chose; discovery asks there.
class OrvixDiscovery : public ::testing::Test {
protected:
    void TearDown() override { OrvixStandin_SetDefaultPorts(0, 0); }
};

TEST_F(OrvixDiscovery, ReportsTheServerAgainAndAgainUntilFreed) {
    SimHarness sim(SimOptions{});
    ASSERT_TRUE(sim.Started());
    OrvixStandin_SetDefaultPorts(sim.Port(), 0);
    Found found;
    OrvixDiscoveryHandle handle = nullptr;
    ASSERT_EQ(Orvix_CreateAsyncServerDiscovery(&handle, Found::OnServer, &found), ErrorCode_OK);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(WaitFor([&] { return found.reports.load() >= 2; }));
    EXPECT_EQ(Orvix_FreeAsyncServerDiscovery(handle), ErrorCode_OK);
    const int reportsAtFree = found.reports.load();

    {
        std::lock_guard lock(found.mutex);
        EXPECT_STREQ(found.last.localAddress, "127.0.0.1");
        EXPECT_STREQ(found.last.serverAddress, "127.0.0.1");
        EXPECT_EQ(found.last.serverCommandPort, sim.Port());
        EXPECT_EQ(found.last.multicastFlag, 0);
    }
    std::this_thread::sleep_for(700ms);  // longer than one query interval
    EXPECT_EQ(found.reports.load(), reportsAtFree);
    EXPECT_TRUE(sim.Logged("discovery query from 127.0.0.1"));
}

TEST_F(OrvixDiscovery, DiscoveredServerAcceptsAConnectionWithDefaultPorts) {
    SimHarness sim(SimOptions{});
    ASSERT_TRUE(sim.Started());
    OrvixStandin_SetDefaultPorts(sim.Port(), 0);
    Found found;
    OrvixDiscoveryHandle handle = nullptr;
    ASSERT_EQ(Orvix_CreateAsyncServerDiscovery(&handle, Found::OnServer, &found), ErrorCode_OK);
    ASSERT_TRUE(WaitFor([&] { return found.reports.load() >= 1; }));
    Orvix_FreeAsyncServerDiscovery(handle);

    // The record the tracker builds from a discovered server: ports 0, no group.
    sOrvixClientConnectParams params{};
    params.connectionType = found.last.multicastFlag != 0 ? 0 : 1;
    params.serverAddress = found.last.serverAddress;
    params.localAddress = found.last.localAddress;
    OrvixClient client;
    EXPECT_EQ(client.Connect(params), ErrorCode_OK);
}

struct FreeingItself {
    OrvixDiscoveryHandle handle = nullptr;
    std::atomic<int> reports{0};
    static void OnServer(const DiscoveredServer*, void* context) {
        auto* self = static_cast<FreeingItself*>(context);
        if (self->reports.fetch_add(1) == 0) {
            Orvix_FreeAsyncServerDiscovery(self->handle);
        }
    }
};

TEST_F(OrvixDiscovery, MayBeFreedFromItsOwnCallback) {
    SimHarness sim(SimOptions{});
    ASSERT_TRUE(sim.Started());
    OrvixStandin_SetDefaultPorts(sim.Port(), 0);
    FreeingItself self;
    ASSERT_EQ(Orvix_CreateAsyncServerDiscovery(&self.handle, FreeingItself::OnServer, &self),
              ErrorCode_OK);
    ASSERT_TRUE(WaitFor([&] { return self.reports.load() >= 1; }));
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(self.reports.load(), 1);
}

TEST_F(OrvixDiscovery, RejectsMissingArguments) {
    OrvixDiscoveryHandle handle = nullptr;
    EXPECT_EQ(Orvix_CreateAsyncServerDiscovery(nullptr, Found::OnServer, nullptr),
              Orvix_ErrorInvalidArgument);
    EXPECT_EQ(Orvix_CreateAsyncServerDiscovery(&handle, nullptr, nullptr),
              Orvix_ErrorInvalidArgument);
    EXPECT_EQ(Orvix_FreeAsyncServerDiscovery(nullptr), Orvix_ErrorInvalidArgument);
}

// Whether this machine loops multicast back on the loopback interface at all.
bool LoopbackMulticastWorks(uint16_t port, std::string* reason) {
    uint32_t group = 0;
    orvix::ParseIPv4(kOrvixDefaultMulticastGroup, &group);
    orvix::UdpSocket receiver;
    orvix::UdpSocket sender;
    if (!receiver.Open(true) || !receiver.Bind({orvix::kAnyAddress, port})) {
        *reason = "cannot bind the multicast port";
        return false;
    }
    if (!receiver.JoinGroup(group, orvix::kLoopbackAddress)) {
        *reason = "joining a multicast group on the loopback interface is refused";
        return false;
    }
    if (!sender.Open() || !sender.SetMulticastSending(orvix::kLoopbackAddress)) {
        *reason = "sending multicast through the loopback interface is refused";
        return false;
    }
    const uint8_t probe[4] = {1, 2, 3, 4};
    uint8_t buffer[16];
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (sender.SendTo({group, port}, probe, sizeof(probe)) &&
            receiver.ReceiveFrom(buffer, sizeof(buffer), 200, nullptr) == 4) {
            return true;
        }
    }
    *reason = "multicast sent on the loopback interface does not come back";
    return false;
}

TEST_F(OrvixDiscovery, MulticastServerIsReportedAndStreamsToTheGroup) {
    const uint16_t dataPort = UnusedPort();
    ASSERT_NE(dataPort, 0);
    std::string reason;
    ASSERT_TRUE(LoopbackMulticastWorks(dataPort, &reason))
        << "multicast on loopback is unavailable here: " << reason;
    SimOptions options;
    options.multicast = true;
    options.dataPort = dataPort;
    options.rateHz = 500.0;
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    OrvixStandin_SetDefaultPorts(sim.Port(), dataPort);

    Found found;
    OrvixDiscoveryHandle handle = nullptr;
    ASSERT_EQ(Orvix_CreateAsyncServerDiscovery(&handle, Found::OnServer, &found), ErrorCode_OK);
    ASSERT_TRUE(WaitFor([&] { return found.reports.load() >= 1; }));
    Orvix_FreeAsyncServerDiscovery(handle);
    EXPECT_NE(found.last.multicastFlag, 0);
    EXPECT_STREQ(found.last.multicastAddress, kOrvixDefaultMulticastGroup);

    // Two members of the group each get the stream; a null group means the default one.
    struct Count {
        std::atomic<int> frames{0};
        static void OnFrame(sFrameOfMocapData* frame, void* context) {
            if (frame->nRigidBodies == 4) {
                static_cast<Count*>(context)->frames.fetch_add(1);
            }
        }
    } first, second;
    sOrvixClientConnectParams params{};
    params.connectionType = 0;
    params.serverAddress = found.last.serverAddress;
    params.localAddress = found.last.localAddress;
    OrvixClient a;
    OrvixClient b;
    ASSERT_EQ(a.Connect(params), ErrorCode_OK);
    ASSERT_EQ(b.Connect(params), ErrorCode_OK);
    sServerDescription description{};
    ASSERT_EQ(a.GetServerDescription(&description), ErrorCode_OK);
    EXPECT_TRUE(description.connectionMulticast);
    EXPECT_EQ(description.connectionDataPort, dataPort);
    ASSERT_EQ(a.SetFrameReceivedCallback(Count::OnFrame, &first), ErrorCode_OK);
    ASSERT_EQ(b.SetFrameReceivedCallback(Count::OnFrame, &second), ErrorCode_OK);
    EXPECT_TRUE(WaitFor([&] { return first.frames.load() >= 20 && second.frames.load() >= 20; }));
    const auto start = std::chrono::steady_clock::now();
    a.Disconnect();
    b.Disconnect();
    // Waking a receiver that shares the group port may need the poll fallback; still bounded.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
