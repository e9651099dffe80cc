#include <cstdint>
#include <cstring>
#include <limits>

#include "log/LogLine.h"
#include "platform/Platform.h"
#include "tracking/ErrorCodeText.h"
#include "tracking/MocapTracker.h"

namespace {

// The server answers a subscription command with one 32-bit status, zero for success.
bool FirstInt32(const void* response, int responseSize, int32_t& value) {
    if (response == nullptr || responseSize < static_cast<int>(sizeof(int32_t))) {
        return false;
    }
    std::memcpy(&value, response, sizeof(value));
    return true;
}

// Clears the server's data subscriptions so that a unicast stream carries everything again.
void ResetSubscriptions(OrvixClient& connection) {
    void* response = nullptr;
    int responseSize = 0;
    const ErrorCode clearCode =
        connection.SendMessageAndWait("SubscribeToData", &response, &responseSize);
    int32_t status = 0;
    bool cleared = false;
    if (clearCode != ErrorCode_OK) {
        LogLine().FileNote(DescribeErrorCode(clearCode))
            << "Orvix filter clear failed (error code " << clearCode << ")\n";
    } else if (response == nullptr) {
        LogLine() << "Orvix filter clear failed (pResponse == nullptr)\n";
    } else if (responseSize != static_cast<int>(sizeof(int32_t))) {
        LogLine() << "responseSize != sizeof(int32_t)\n";
        if (FirstInt32(response, responseSize, status) && status != 0) {
            LogLine() << "Response[0] = " << status << "\n";
        }
    } else if (FirstInt32(response, responseSize, status) && status != 0) {
        LogLine() << "Response[0] = " << status << "\n";
    } else {
        cleared = true;
    }

    if (cleared) {
        // The outputs still hold the first answer; the library overwrites them on success.
        const ErrorCode unsubscribeCode = connection.SendMessageAndWait(
            "SubscribeToData,AllTypes,None", &response, &responseSize);
        if (unsubscribeCode != ErrorCode_OK) {
            LogLine().FileNote(DescribeErrorCode(unsubscribeCode))
                << "Orvix unsubscribe failed (error code " << unsubscribeCode << ")\n";
        } else if (response == nullptr) {
            LogLine() << "Orvix unsubscribe failed (pResponse == nullptr)\n";
        } else if (responseSize == static_cast<int>(sizeof(int32_t)) &&
                   FirstInt32(response, responseSize, status) && status == 0) {
            LogLine() << "Orvix subscriptions successfully reset\n";
        } else {
            LogLine() << "Orvix unsubscribe failed\n";
        }
    }
    LogLine() << "Updating subscriptions\n";
}

}  // namespace

bool MocapTracker::ConnectToServer(const sOrvixClientConnectParams& params) {
    LogLine() << "Initializing Orvix in " << (params.connectionType == 0 ? "multicast" : "unicast")
              << ", server: " << TextOrEmpty(params.serverAddress)
              << ", client: " << TextOrEmpty(params.localAddress)
              << ", rigid body ID: " << headset.id << "\n";

    auto* const connection = new OrvixClient();
    client.store(connection);
    connection->Disconnect();

    const ErrorCode connectCode = connection->Connect(params);
    if (connectCode != ErrorCode_OK) {
        LogLine().FileNote(DescribeErrorCode(connectCode))
            << "OrvixClient::Connect returned error code" << connectCode << "\n";
        DisconnectFromServer();
        return false;
    }
    LogLine() << "Connected...\n";

    const ErrorCode descriptionCode = connection->GetServerDescription(&serverDescription);
    if (descriptionCode != ErrorCode_OK) {
        LogLine().FileNote(DescribeErrorCode(descriptionCode))
            << "OrvixClient::GetServerDescription returned error code" << descriptionCode << "\n";
        DisconnectFromServer();
        return false;
    }
    LogLine() << "Received server descriptions...\n";

    // The configured mode decides, even for a server found by discovery.
    if (connectParams.connectionType == 1) {
        ResetSubscriptions(*connection);
    }

    const ErrorCode callbackCode = connection->SetFrameReceivedCallback(FrameCallback, this);
    if (callbackCode != ErrorCode_OK) {
        LogLine().FileNote(DescribeErrorCode(callbackCode))
            << "OrvixClient::SetFrameReceivedCallback returned error code " << callbackCode
            << "\n ";
        DisconnectFromServer();
        return false;
    }

    lastFrameTime.store(platform::MonotonicSeconds());
    return true;
}

void MocapTracker::DisconnectFromServer() {
    OrvixClient* const connection = client.load();
    if (connection == nullptr) {
        return;
    }
    void* response = nullptr;
    int responseSize = 0;
    const ErrorCode code = connection->SendMessageAndWait("Disconnect", &response, &responseSize);
    if (code == ErrorCode_OK) {
        LogLine() << "Orvix disconnect success\n";
    } else {
        LogLine().FileNote(DescribeErrorCode(code))
            << "Orvix disconnect fail (error code " << code << ")\n";
    }
    // After this no frame callback of the connection runs, so the frame thread is done with it.
    connection->Disconnect();
    delete connection;
    lastFrameTime.store(std::numeric_limits<double>::max());
    client.store(nullptr);
}
