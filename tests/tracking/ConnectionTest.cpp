#include <gtest/gtest.h>

#include <limits>

#include "TrackerFixture.h"
#include "platform/Platform.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

constexpr const char* kConnectCall =
    "Connect(type=1, command=1510, data=1511, server=127.0.0.2, local=127.0.0.1, "
    "group=239.255.60.60, option=0, reserved=0)";
constexpr const char* kOpeningLines =
    "Initializing Orvix in unicast, server: 127.0.0.2, client: 127.0.0.1, rigid body ID: 7\n"
    "Connected...\nReceived server descriptions...\n";
constexpr const char* kClear = "SubscribeToData";
constexpr const char* kUnsubscribe = "SubscribeToData,AllTypes,None";

class ConnectionTest : public TrackerTest {};

scripted::CommandResponse Bytes(std::vector<uint8_t> bytes) {
    scripted::CommandResponse response;
    response.bytes = std::move(bytes);
    return response;
}

scripted::CommandResponse Failing(ErrorCode code) {
    scripted::CommandResponse response;
    response.code = code;
    return response;
}

scripted::CommandResponse Absent() {
    scripted::CommandResponse response;
    response.present = false;
    return response;
}

TEST_F(ConnectionTest, MulticastSendsNoCommand) {
    Configure(0);
    const double before = platform::MonotonicSeconds();
    bool connected = false;
    const auto output = CapturedOutput([&] { connected = tracker_->ConnectToServer(Params(0)); });
    const double after = platform::MonotonicSeconds();

    EXPECT_TRUE(connected);
    EXPECT_EQ(output,
              "Initializing Orvix in multicast, server: 127.0.0.2, client: 127.0.0.1, rigid body "
              "ID: 7\nConnected...\nReceived server descriptions...\n");
    auto expected = ConnectionOpening(
        "Connect(type=0, command=1510, data=1511, server=127.0.0.2, local=127.0.0.1, "
        "group=239.255.60.60, option=0, reserved=0)");
    expected.push_back("SetFrameReceivedCallback");
    EXPECT_THAT(scripted::Calls(), ElementsAreArray(expected));
    EXPECT_NE(tracker_->client.load(), nullptr);
    EXPECT_GE(tracker_->lastFrameTime.load(), before);
    EXPECT_LE(tracker_->lastFrameTime.load(), after);
    EXPECT_TRUE(tracker_->serverDescription.hostPresent);
}

struct ResetCase {
    const char* name;
    std::map<std::string, scripted::CommandResponse> responses;
    bool sendsUnsubscribe;
    const char* lines;  // between the opening lines and "Updating subscriptions"
};

TEST_F(ConnectionTest, UnicastResetsTheSubscriptions) {
    const ResetCase cases[] = {
        {"both answer zero",
         {{kClear, scripted::Int32Response(0)}, {kUnsubscribe, scripted::Int32Response(0)}},
         true,
         "Orvix subscriptions successfully reset\n"},
        {"clear fails",
         {{kClear, Failing(3)}},
         false,
         "Orvix filter clear failed (error code 3)\n"},
        {"clear without response",
         {{kClear, Absent()}},
         false,
         "Orvix filter clear failed (pResponse == nullptr)\n"},
        {"clear answers nonzero",
         {{kClear, scripted::Int32Response(-9)}},
         false,
         "Response[0] = -9\n"},
        {"clear answers two bytes",
         {{kClear, Bytes({1, 0})}},
         false,
         "responseSize != sizeof(int32_t)\n"},
        {"clear answers nothing",
         {{kClear, Bytes({})}},
         false,
         "responseSize != sizeof(int32_t)\n"},
        {"clear answers eight bytes, nonzero first",
         {{kClear, Bytes({5, 0, 0, 0, 0, 0, 0, 0})}},
         false,
         "responseSize != sizeof(int32_t)\nResponse[0] = 5\n"},
        {"clear answers eight bytes, zero first",
         {{kClear, Bytes({0, 0, 0, 0, 5, 0, 0, 0})}},
         false,
         "responseSize != sizeof(int32_t)\n"},
        {"unsubscribe fails",
         {{kUnsubscribe, Failing(4)}},
         true,
         "Orvix unsubscribe failed (error code 4)\n"},
        {"unsubscribe without response",
         {{kUnsubscribe, Absent()}},
         true,
         "Orvix unsubscribe failed (pResponse == nullptr)\n"},
        {"unsubscribe answers nonzero",
         {{kUnsubscribe, scripted::Int32Response(1)}},
         true,
         "Orvix unsubscribe failed\n"},
        {"unsubscribe answers eight zero bytes",
         {{kUnsubscribe, Bytes({0, 0, 0, 0, 0, 0, 0, 0})}},
         true,
         "Orvix unsubscribe failed\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scripted::Script script;
        script.responses = c.responses;
        scripted::Reset(script);
        Configure(1);

        bool connected = false;
        const auto output =
            CapturedOutput([&] { connected = tracker_->ConnectToServer(Params(1)); });

        EXPECT_TRUE(connected);
        EXPECT_EQ(output, std::string(kOpeningLines) + c.lines + "Updating subscriptions\n");
        auto expected = ConnectionOpening(kConnectCall);
        expected.push_back(std::string("SendMessageAndWait(") + kClear + ")");
        if (c.sendsUnsubscribe) {
            expected.push_back(std::string("SendMessageAndWait(") + kUnsubscribe + ")");
        }
        expected.push_back("SetFrameReceivedCallback");
        EXPECT_THAT(scripted::Calls(), ElementsAreArray(expected));
        CapturedOutput([&] { tracker_->DisconnectFromServer(); });
    }
}

TEST_F(ConnectionTest, ConfiguredTypeDecidesTheResetWhateverTheParameters) {
    Configure(1);
    const auto output = CapturedOutput([&] { tracker_->ConnectToServer(Params(0)); });
    EXPECT_NE(output.find("Initializing Orvix in multicast"), std::string::npos);
    EXPECT_NE(output.find("Orvix subscriptions successfully reset\n"), std::string::npos);
}

struct FailureCase {
    const char* name;
    scripted::Script script;
    const char* lines;                   // after the initializing line
    std::vector<std::string> lastCalls;  // before the cleanup calls
};

scripted::Script Failure(ErrorCode connect, ErrorCode description, ErrorCode callback,
                         std::optional<ErrorCode> disconnect) {
    scripted::Script script;
    script.connectCode = connect;
    script.descriptionCode = description;
    script.callbackCode = callback;
    if (disconnect) {
        script.responses["Disconnect"] = Failing(*disconnect);
    }
    return script;
}

TEST_F(ConnectionTest, FailuresAreReportedAndUndone) {
    const FailureCase cases[] = {
        {"connect refused",
         Failure(7, 0, 0, std::nullopt),
         "OrvixClient::Connect returned error code7\nOrvix disconnect success\n",
         {kConnectCall}},
        {"connect refused, disconnect fails",
         Failure(-3, 0, 0, 2),
         "OrvixClient::Connect returned error code-3\nOrvix disconnect fail (error code 2)\n",
         {kConnectCall}},
        {"no server description",
         Failure(0, 9, 0, std::nullopt),
         "Connected...\nOrvixClient::GetServerDescription returned error code9\n"
         "Orvix disconnect success\n",
         {kConnectCall, "GetServerDescription"}},
        {"no frame callback",
         Failure(0, 0, 6, std::nullopt),
         "Connected...\nReceived server descriptions...\n"
         "OrvixClient::SetFrameReceivedCallback returned error code 6\n Orvix disconnect success\n",
         {kConnectCall, "GetServerDescription", "SetFrameReceivedCallback"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scripted::Reset(c.script);
        Configure(0);
        tracker_->lastFrameTime.store(12.0);

        bool connected = true;
        const auto output =
            CapturedOutput([&] { connected = tracker_->ConnectToServer(Params(1)); });

        EXPECT_FALSE(connected);
        EXPECT_EQ(output, std::string("Initializing Orvix in unicast, server: 127.0.0.2, client: "
                                      "127.0.0.1, rigid body ID: 7\n") +
                              c.lines);
        std::vector<std::string> expected{"OrvixClient()", "Disconnect()"};
        expected.insert(expected.end(), c.lastCalls.begin(), c.lastCalls.end());
        expected.insert(expected.end(),
                        {"SendMessageAndWait(Disconnect)", "Disconnect()", "~OrvixClient()"});
        EXPECT_THAT(scripted::Calls(), ElementsAreArray(expected));
        EXPECT_EQ(tracker_->client.load(), nullptr);
        EXPECT_EQ(tracker_->lastFrameTime.load(), std::numeric_limits<double>::max());
        EXPECT_EQ(scripted::LiveClients(), 0);
    }
}

TEST_F(ConnectionTest, DisconnectEndsTheConnection) {
    Connect(0);
    tracker_->lastFrameTime.store(12.0);
    const auto output = CapturedOutput([&] { tracker_->DisconnectFromServer(); });
    EXPECT_EQ(output, "Orvix disconnect success\n");
    EXPECT_THAT(scripted::Calls(),
                ElementsAre("SendMessageAndWait(Disconnect)", "Disconnect()", "~OrvixClient()"));
    EXPECT_EQ(tracker_->client.load(), nullptr);
    EXPECT_EQ(tracker_->lastFrameTime.load(), std::numeric_limits<double>::max());
    // No frame reaches the tracker once the connection is gone.
    EXPECT_FALSE(scripted::DeliverFrame([](sFrameOfMocapData&) {}));
}

TEST_F(ConnectionTest, DisconnectWithoutConnectionDoesNothing) {
    const auto output = CapturedOutput([&] { tracker_->DisconnectFromServer(); });
    EXPECT_EQ(output, "");
    EXPECT_THAT(scripted::Calls(), IsEmpty());
}

}  // namespace
