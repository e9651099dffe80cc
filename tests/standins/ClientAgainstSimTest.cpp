#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include "standins/orvix/OrvixStandin.h"
#include "tests/standins/SimHarness.h"
#include "tracking/OrvixLib.h"

namespace {

using namespace std::chrono_literals;

SimOptions FastOptions(double rateHz = 500.0) {
    SimOptions options;
    options.rateHz = rateHz;
    return options;
}

TEST(OrvixClientAgainstSim, ConnectFillsDescriptionAndDisconnectReleasesTheServerSide) {
    SimHarness sim(FastOptions());
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    EXPECT_EQ(client.Disconnect(), ErrorCode_OK);  // before any connection, as the tracker does
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    EXPECT_EQ(client.Connect(sim.Params()), Orvix_ErrorAlreadyConnected);

    sServerDescription description{};
    ASSERT_EQ(client.GetServerDescription(&description), ErrorCode_OK);
    EXPECT_TRUE(description.hostPresent);
    EXPECT_STREQ(description.hostComputerName, "tarvex-mocap-sim");
    EXPECT_EQ(description.highResClockFrequency, 1000000000u);
    EXPECT_TRUE(description.connectionInfoValid);
    EXPECT_FALSE(description.connectionMulticast);
    const uint8_t loopback[4] = {127, 0, 0, 1};
    EXPECT_EQ(0, std::memcmp(description.hostComputerAddress, loopback, 4));
    EXPECT_TRUE(WaitFor([&] { return sim.Server().ConnectedClients() == 1; }));

    EXPECT_EQ(client.Disconnect(), ErrorCode_OK);
    EXPECT_EQ(client.Disconnect(), ErrorCode_OK);
    EXPECT_TRUE(WaitFor([&] { return sim.Server().ConnectedClients() == 0; }));
    EXPECT_EQ(client.GetServerDescription(&description), Orvix_ErrorNotConnected);
    EXPECT_EQ(sim.Server().Summary().clientsServed, 1u);
}

TEST(OrvixClientAgainstSim, NoServerFailsWithinTheAnswerTimeout) {
    // The port is held here, so no other program can answer the request.
    SilentPort silent;
    ASSERT_NE(silent.Port(), 0);
    sOrvixClientConnectParams params{};
    params.connectionType = 1;
    params.commandPort = silent.Port();
    params.serverAddress = "127.0.0.1";
    params.localAddress = "127.0.0.1";
    OrvixClient client;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Connect(params), Orvix_ErrorNoServer);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_GE(silent.Received(), 1) << "the request never reached the silent port";
    void* response = nullptr;
    int size = 0;
    EXPECT_EQ(client.SendMessageAndWait("Disconnect", &response, &size), Orvix_ErrorNotConnected);
}

TEST(OrvixClientAgainstSim, RefusedConnectionReturnsTheServersCode) {
    SimOptions options = FastOptions();
    options.refuse = true;
    options.refuseCode = 7;
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    EXPECT_EQ(client.Connect(sim.Params()), 7);
    sServerDescription description{};
    EXPECT_EQ(client.GetServerDescription(&description), Orvix_ErrorNotConnected);
    EXPECT_EQ(sim.Server().Summary().connectionsRefused, 1u);
    EXPECT_EQ(sim.Server().ConnectedClients(), 0u);
    EXPECT_TRUE(sim.Logged("refused with code 7"));
}

TEST(OrvixClientAgainstSim, RejectsBadArguments) {
    SimHarness sim(FastOptions());
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    sOrvixClientConnectParams params = sim.Params();
    params.serverAddress = "not-an-address";
    EXPECT_EQ(client.Connect(params), Orvix_ErrorInvalidArgument);
    params = sim.Params();
    params.connectionType = 5;
    EXPECT_EQ(client.Connect(params), Orvix_ErrorInvalidArgument);
    params = sim.Params();
    params.serverAddress = nullptr;
    EXPECT_EQ(client.Connect(params), Orvix_ErrorInvalidArgument);

    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    void* response = nullptr;
    int size = 0;
    EXPECT_EQ(client.SendMessageAndWait(nullptr, &response, &size), Orvix_ErrorInvalidArgument);
    EXPECT_EQ(client.SendMessageAndWait("Disconnect", nullptr, &size), Orvix_ErrorInvalidArgument);
    EXPECT_EQ(client.GetServerDescription(nullptr), Orvix_ErrorInvalidArgument);
}

struct CommandCase {
    const char* name;
    const char* answerSubscribe;
    const char* answerUnsubscribe;
    const char* answerDisconnect;
    const char* command;
    ErrorCode code;
    int size;       // on success
    int32_t first;  // first int32 of the answer, when size >= 4
};

// Test names and failure messages show the case by its name.
void PrintTo(const CommandCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class OrvixCommands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(OrvixCommands, AnswerFollowsTheServer) {
    const CommandCase& c = GetParam();
    SimOptions options = FastOptions();
    ASSERT_TRUE(ParseCommandAnswer(c.answerSubscribe, &options.subscribeAnswer));
    ASSERT_TRUE(ParseCommandAnswer(c.answerUnsubscribe, &options.unsubscribeAnswer));
    ASSERT_TRUE(ParseCommandAnswer(c.answerDisconnect, &options.disconnectAnswer));
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);

    void* response = reinterpret_cast<void*>(1);
    int size = -1;
    EXPECT_EQ(client.SendMessageAndWait(c.command, &response, &size), c.code);
    if (c.code != ErrorCode_OK) {
        return;
    }
    ASSERT_EQ(size, c.size);
    if (size == 0) {
        EXPECT_EQ(response, nullptr);
        return;
    }
    ASSERT_NE(response, nullptr);
    int32_t first = 0;
    std::memcpy(&first, response, sizeof(first));
    EXPECT_EQ(first, c.first);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OrvixCommands,
    ::testing::Values(CommandCase{"SubscribeDefault", "0", "0", "0", "SubscribeToData", 0, 4, 0},
                      CommandCase{"SubscribeNonzero", "5", "0", "0", "SubscribeToData", 0, 4, 5},
                      CommandCase{"SubscribeNegative", "-3", "0", "0", "SubscribeToData", 0, 4, -3},
                      CommandCase{"UnsubscribeDefault", "0", "0", "0",
                                  "SubscribeToData,AllTypes,None", 0, 4, 0},
                      CommandCase{"UnsubscribeLong", "0", "long:3", "0",
                                  "SubscribeToData,AllTypes,None", 0, 8, 3},
                      CommandCase{"UnsubscribeEmpty", "0", "empty", "0",
                                  "SubscribeToData,AllTypes,None", 0, 0, 0},
                      CommandCase{"DisconnectDefault", "0", "0", "0", "Disconnect", 0, 4, 0},
                      CommandCase{"DisconnectError", "0", "0", "error:9", "Disconnect", 9, 0, 0},
                      CommandCase{"SubscribeSilent", "silent", "0", "0", "SubscribeToData",
                                  Orvix_ErrorNoServer, 0, 0},
                      CommandCase{"UnknownCommand", "0", "0", "0", "Bogus", 1, 0, 0}),
    [](const ::testing::TestParamInfo<CommandCase>& caseInfo) { return caseInfo.param.name; });

TEST(OrvixClientAgainstSim, ResponseBufferStaysValidUntilTheNextCommand) {
    SimOptions options = FastOptions();
    options.subscribeAnswer = {CommandAnswer::Kind::kInt32, 11};
    options.unsubscribeAnswer = {CommandAnswer::Kind::kInt32, 22};
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    void* response = nullptr;
    int size = 0;
    ASSERT_EQ(client.SendMessageAndWait("SubscribeToData", &response, &size), ErrorCode_OK);
    int32_t value = 0;
    std::this_thread::sleep_for(20ms);  // frames keep arriving meanwhile
    std::memcpy(&value, response, 4);
    EXPECT_EQ(value, 11);
    ASSERT_EQ(client.SendMessageAndWait("SubscribeToData,AllTypes,None", &response, &size),
              ErrorCode_OK);
    std::memcpy(&value, response, 4);
    EXPECT_EQ(value, 22);
}

// What one callback saw, read through the record's pinned byte offsets.
struct SeenFrame {
    int32_t count = 0;
    int32_t ids[8] = {};
    float poses[8][7] = {};  // x, y, z, qx, qy, qz, qw of each body in ids
    float headset[7] = {};
    bool headsetFound = false;
    uint64_t mid = 0, received = 0, transmit = 0;
    int32_t number = 0;
    double age = 0.0;
};

struct Collector {
    OrvixClient* client = nullptr;
    int32_t headsetId = 1;
    std::vector<SeenFrame> frames = std::vector<SeenFrame>(4096);
    std::atomic<size_t> count{0};

    static void OnFrame(sFrameOfMocapData* frame, void* context) {
        auto* self = static_cast<Collector*>(context);
        const size_t index = self->count.load(std::memory_order_relaxed);
        if (index >= self->frames.size()) {
            return;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(frame);
        SeenFrame& seen = self->frames[index];
        std::memcpy(&seen.count, bytes + 272024, 4);
        for (int32_t i = 0; i < seen.count && i < 8; ++i) {
            const uint8_t* entry = bytes + 272028 + 40 * i;
            std::memcpy(&seen.ids[i], entry, 4);
            std::memcpy(seen.poses[i], entry + 4, sizeof(seen.poses[i]));
            if (seen.ids[i] == self->headsetId && !seen.headsetFound) {
                std::memcpy(seen.headset, entry + 4, sizeof(seen.headset));
                seen.headsetFound = true;
            }
        }
        std::memcpy(&seen.mid, bytes + 628392, 8);
        std::memcpy(&seen.received, bytes + 628400, 8);
        seen.transmit = frame->transmitTimestamp;
        seen.number = frame->iFrame;
        seen.age = self->client->SecondsSinceHostTimestamp(seen.mid);
        self->count.store(index + 1, std::memory_order_release);
    }

    // Collects frames from the connected client until it has `atLeast`, then disconnects it.
    testing::AssertionResult CollectFrom(OrvixClient& connected, size_t atLeast) {
        client = &connected;
        if (connected.SetFrameReceivedCallback(OnFrame, this) != ErrorCode_OK) {
            return testing::AssertionFailure() << "the frame callback was refused";
        }
        const bool collected = WaitFor([&] { return count.load() >= atLeast; });
        connected.Disconnect();
        if (!collected) {
            return testing::AssertionFailure() << "only " << count.load() << " frames came";
        }
        return testing::AssertionSuccess();
    }
};

TEST(OrvixClientAgainstSim, FramesCarryTheBodiesInTheRecordLayoutWithSaneTimestamps) {
    SimOptions options = FastOptions();
    options.headsetId = 7;
    options.bodyCount = 4;
    options.path.kind = MocapPathKind::kFixed;
    options.path.fixedPose = {1.0f, 2.0f, 3.0f, 0.1f, 0.2f, 0.3f, 0.9f};
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    Collector collector;
    collector.headsetId = 7;
    ASSERT_TRUE(collector.CollectFrom(client, 50));

    const size_t count = collector.count.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        const SeenFrame& f = collector.frames[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(f.count, 4);
        ASSERT_TRUE(f.headsetFound);
        EXPECT_EQ(f.ids[1], 7);  // the headset is not first, so readers must search
        const float expected[7] = {1.0f, 2.0f, 3.0f, 0.1f, 0.2f, 0.3f, 0.9f};
        for (int k = 0; k < 7; ++k) {
            EXPECT_EQ(f.headset[k], expected[k]);
        }
        EXPECT_GT(f.mid, 0u);
        EXPECT_LE(f.mid, f.received);
        EXPECT_LE(f.received, f.transmit);
        EXPECT_GE(f.age, 0.0);
        EXPECT_LT(f.age, 1.0);
        if (i > 0) {
            EXPECT_GT(f.number, collector.frames[i - 1].number);
            EXPECT_GT(f.mid, collector.frames[i - 1].mid);
        }
    }
}

// A server whose clock runs far ahead of or behind ours: ages still come out small and never
// negative, because the client learned the offset when it connected.
TEST(OrvixClientAgainstSim, AgesAreRightWhenServerClockDiffers) {
    const double backwards = -0.5 * static_cast<double>(OrvixStandin_ClientNowNs()) * 1e-9;
    for (const double offset : {3600.0, backwards}) {
        SCOPED_TRACE(offset);
        SimOptions options = FastOptions();
        options.clockOffsetSeconds = offset;
        SimHarness sim(options);
        ASSERT_TRUE(sim.Started());
        OrvixClient client;
        ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
        Collector collector;
        ASSERT_TRUE(collector.CollectFrom(client, 50));
        const size_t count = collector.count.load(std::memory_order_acquire);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_GE(collector.frames[i].age, 0.0) << i;
            EXPECT_LT(collector.frames[i].age, 1.0) << i;
        }
    }
}

// A simulated latency: each frame carries the pose and the timestamp of its capture that long
// before it was sent, so the client sees every frame at least that old, and the pose is the
// path's at the frame's own timestamp.
TEST(OrvixClientAgainstSim, FramesCarryTheirCaptureTheLatencyBeforeTheyAreSent) {
    constexpr double kLatencyMs = 40.0;
    SimOptions options = FastOptions();
    options.latencyMs = kLatencyMs;
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    EXPECT_TRUE(sim.Logged("; latency 40 ms"));
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    Collector collector;
    ASSERT_TRUE(collector.CollectFrom(client, 50));

    const size_t count = collector.count.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        const SeenFrame& f = collector.frames[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(f.headsetFound);
        EXPECT_GE(f.age, kLatencyMs * 1e-3);
        // Nanosecond ticks: received when sent, at least the latency after the capture.
        EXPECT_GE(f.received - f.mid, static_cast<uint64_t>(kLatencyMs * 1e6));
        const MocapPose expected =
            options.path.PoseAt(static_cast<double>(f.mid) * 1e-9 - sim.Server().StartSeconds());
        EXPECT_NEAR(f.headset[0], expected.x, 1e-5);
        EXPECT_NEAR(f.headset[2], expected.z, 1e-5);
        EXPECT_NEAR(f.headset[4], expected.qy, 1e-5);
        EXPECT_NEAR(f.headset[6], expected.qw, 1e-5);
    }
}

struct HandsCase {
    const char* name;
    MocapPathKind path;
    double latencyMs;
    bool jitter;
};

void PrintTo(const HandsCase& c, std::ostream* out) {
    *out << c.name;
}

// The body with `id` in a frame, as a pose; false when the frame does not carry it.
bool BodyPose(const SeenFrame& frame, int32_t id, MocapPose* pose) {
    for (int32_t i = 0; i < frame.count && i < 8; ++i) {
        if (frame.ids[i] == id) {
            const float* p = frame.poses[i];
            *pose = {p[0], p[1], p[2], p[3], p[4], p[5], p[6]};
            return true;
        }
    }
    return false;
}

struct Error {
    double x, y, z;
    double Length() const { return std::sqrt(x * x + y * y + z * z); }
};

// The position error of a received pose against the exact one, in metres.
Error PositionError(const MocapPose& seen, const MocapPose& exact) {
    return {static_cast<double>(seen.x) - exact.x, static_cast<double>(seen.y) - exact.y,
            static_cast<double>(seen.z) - exact.z};
}

// Two bodies' errors drawn independently differ by far more than a float's rounding near 2 m,
// which is all that separates errors drawn alike.
bool Apart(const Error& a, const Error& b) {
    return Error{a.x - b.x, a.y - b.y, a.z - b.z}.Length() > 1e-6;
}

class HandsAgainstSim : public testing::TestWithParam<HandsCase> {};

// A client receives the hands under their ids at the poses HandPoseAt gives for each frame's own
// capture time; with jitter each body carries noise of its own.
TEST_P(HandsAgainstSim, ClientSeesTheHandsWhereThePathPutsThem) {
    const HandsCase& c = GetParam();
    SimOptions options = FastOptions();
    options.path.kind = c.path;
    options.rightHandId = 12;
    options.leftHandId = 11;
    options.latencyMs = c.latencyMs;
    if (c.jitter) {
        options.jitterPositionMm = kDefaultJitterPositionMm;
        options.jitterOrientationDegrees = kDefaultJitterOrientationDegrees;
    }
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    EXPECT_TRUE(sim.Logged("; right hand id 12, left hand id 11"));
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    Collector collector;
    ASSERT_TRUE(collector.CollectFrom(client, 50));

    // Exact poses to a float's precision; noisy ones within a few millimetres (0.2 mm RMS).
    const double positionTolerance = c.jitter ? 0.003 : 1e-5;
    const double orientationTolerance = c.jitter ? 0.005 : 1e-5;
    const size_t count = collector.count.load(std::memory_order_acquire);
    double rightSquares = 0.0;
    double leftSquares = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const SeenFrame& f = collector.frames[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(f.count, 4);
        const double pathSeconds = static_cast<double>(f.mid) * 1e-9 - sim.Server().StartSeconds();
        MocapPose right{}, left{}, head{};
        ASSERT_TRUE(BodyPose(f, 12, &right));
        ASSERT_TRUE(BodyPose(f, 11, &left));
        ASSERT_TRUE(BodyPose(f, 1, &head));
        const MocapPose exactRight = HandPoseAt(options.path, pathSeconds, HandSide::kRight);
        const MocapPose exactLeft = HandPoseAt(options.path, pathSeconds, HandSide::kLeft);
        for (const auto& [seen, exact] :
             {std::pair{right, exactRight}, std::pair{left, exactLeft}}) {
            EXPECT_NEAR(seen.x, exact.x, positionTolerance);
            EXPECT_NEAR(seen.y, exact.y, positionTolerance);
            EXPECT_NEAR(seen.z, exact.z, positionTolerance);
            EXPECT_NEAR(seen.qx, exact.qx, orientationTolerance);
            EXPECT_NEAR(seen.qy, exact.qy, orientationTolerance);
            EXPECT_NEAR(seen.qz, exact.qz, orientationTolerance);
            EXPECT_NEAR(seen.qw, exact.qw, orientationTolerance);
        }
        if (c.jitter) {
            // Independent noise: no two bodies are moved by the same error.
            const Error rightError = PositionError(right, exactRight);
            const Error leftError = PositionError(left, exactLeft);
            const Error headError = PositionError(head, options.path.PoseAt(pathSeconds));
            EXPECT_TRUE(Apart(rightError, leftError));
            EXPECT_TRUE(Apart(rightError, headError));
            EXPECT_TRUE(Apart(leftError, headError));
            rightSquares += rightError.Length() * rightError.Length();
            leftSquares += leftError.Length() * leftError.Length();
        }
    }
    if (c.jitter) {
        // Each hand's noise has the headset's RMS size, 0.2 mm.
        for (const double squares : {rightSquares, leftSquares}) {
            const double rmsMm = std::sqrt(squares / static_cast<double>(count)) * 1000.0;
            EXPECT_GT(rmsMm, 0.1);
            EXPECT_LT(rmsMm, 0.35);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, HandsAgainstSim,
    testing::Values(HandsCase{"Circle", MocapPathKind::kCircleWalk, 0.0, false},
                    HandsCase{"OrbitWithLatency", MocapPathKind::kOrbit, 30.0, false},
                    HandsCase{"FixedWithJitter", MocapPathKind::kFixed, 0.0, true},
                    HandsCase{"CircleWithJitterAndLatency", MocapPathKind::kCircleWalk, 20.0,
                              true}),
    [](const testing::TestParamInfo<HandsCase>& test) { return std::string(test.param.name); });

// A callback that outlives Disconnect would see the flag raised right after Disconnect returns;
// it sleeps a little to widen the window in which Disconnect meets a running callback.
struct Guarded {
    std::atomic<bool> disconnected{false};
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};

    static void OnFrame(sFrameOfMocapData*, void* context) {
        auto* self = static_cast<Guarded*>(context);
        if (self->disconnected.load()) {
            self->lateCalls.fetch_add(1);
        }
        self->calls.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (self->disconnected.load()) {
            self->lateCalls.fetch_add(1);
        }
    }
};

TEST(OrvixClientAgainstSim, NoCallbackRunsAfterDisconnectReturns) {
    SimHarness sim(FastOptions(2000.0));
    ASSERT_TRUE(sim.Started());
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        Guarded guarded;
        auto client = std::make_unique<OrvixClient>();
        ASSERT_EQ(client->Connect(sim.Params()), ErrorCode_OK);
        ASSERT_EQ(client->SetFrameReceivedCallback(Guarded::OnFrame, &guarded), ErrorCode_OK);
        ASSERT_TRUE(WaitFor([&] { return guarded.calls.load() > round % 3; }));
        // Alternate between an explicit Disconnect and destruction alone.
        if (round % 2 == 0) {
            client->Disconnect();
        } else {
            client.reset();
        }
        guarded.disconnected.store(true);
        const int callsAtDisconnect = guarded.calls.load();
        std::this_thread::sleep_for(3ms);
        client.reset();
        EXPECT_EQ(guarded.lateCalls.load(), 0);
        EXPECT_EQ(guarded.calls.load(), callsAtDisconnect);
    }
    EXPECT_TRUE(WaitFor([&] { return sim.Server().ConnectedClients() == 0; }));
}

struct SelfDisconnecting {
    OrvixClient* client = nullptr;
    std::atomic<int> calls{0};
    std::atomic<ErrorCode> result{-1};

    static void OnFrame(sFrameOfMocapData*, void* context) {
        auto* self = static_cast<SelfDisconnecting*>(context);
        self->calls.fetch_add(1);
        self->result.store(self->client->Disconnect());
    }
};

TEST(OrvixClientAgainstSim, DisconnectFromInsideTheCallbackEndsDelivery) {
    SimHarness sim(FastOptions(1000.0));
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    SelfDisconnecting self;
    self.client = &client;
    ASSERT_EQ(client.SetFrameReceivedCallback(SelfDisconnecting::OnFrame, &self), ErrorCode_OK);
    ASSERT_TRUE(WaitFor([&] { return self.calls.load() > 0; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(self.calls.load(), 1);
    EXPECT_EQ(self.result.load(), ErrorCode_OK);
    EXPECT_EQ(client.Disconnect(), ErrorCode_OK);
    EXPECT_EQ(client.Disconnect(), ErrorCode_OK);
}

TEST(OrvixClientAgainstSim, TruncatedFramesAreCountedAndDropped) {
    SimOptions options = FastOptions(1000.0);
    options.truncateEvery = 2;  // every even frame number arrives cut in half
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);
    const uint64_t malformedBefore = OrvixStandin_MalformedDatagramCount();
    Collector collector;
    ASSERT_TRUE(collector.CollectFrom(client, 20));
    const size_t count = collector.count.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(collector.frames[i].number % 2, 1) << i;
        EXPECT_EQ(collector.frames[i].count, 4) << i;
    }
    EXPECT_GE(OrvixStandin_MalformedDatagramCount() - malformedBefore, count - 2);
}

TEST(OrvixClientAgainstSim, StreamPausesAndResumesAndStopsForGood) {
    SimOptions options = FastOptions(500.0);
    options.pauseAfterSeconds = 0.3;
    options.pauseForSeconds = 1.0;
    options.stopAfterSeconds = 1.8;
    SimHarness sim(options);
    ASSERT_TRUE(sim.Started());
    OrvixClient client;
    ASSERT_EQ(client.Connect(sim.Params()), ErrorCode_OK);

    struct Arrivals {
        std::vector<int64_t> times = std::vector<int64_t>(8192);
        std::atomic<size_t> count{0};
        static void OnFrame(sFrameOfMocapData*, void* context) {
            auto* self = static_cast<Arrivals*>(context);
            const size_t index = self->count.load(std::memory_order_relaxed);
            if (index < self->times.size()) {
                self->times[index] = OrvixStandin_ClientNowNs();
                self->count.store(index + 1, std::memory_order_release);
            }
        }
    } arrivals;
    ASSERT_EQ(client.SetFrameReceivedCallback(Arrivals::OnFrame, &arrivals), ErrorCode_OK);
    std::this_thread::sleep_for(2500ms);
    // Commands are still answered after the stream stopped for good.
    void* response = nullptr;
    int size = 0;
    EXPECT_EQ(client.SendMessageAndWait("SubscribeToData", &response, &size), ErrorCode_OK);
    client.Disconnect();

    const size_t count = arrivals.count.load(std::memory_order_acquire);
    ASSERT_GT(count, 10u);
    int gapsOverHalfASecond = 0;
    for (size_t i = 1; i < count; ++i) {
        if (arrivals.times[i] - arrivals.times[i - 1] > 500'000'000) {
            ++gapsOverHalfASecond;
        }
    }
    EXPECT_EQ(gapsOverHalfASecond, 1);
    const int64_t sinceLast = OrvixStandin_ClientNowNs() - arrivals.times[count - 1];
    EXPECT_GT(sinceLast, 400'000'000);  // nothing since the stop at 1.8 s
    EXPECT_TRUE(sim.Logged("streaming paused"));
    EXPECT_TRUE(sim.Logged("streaming resumed"));
    EXPECT_TRUE(sim.Logged("streaming stopped for good"));
}

}  // namespace
