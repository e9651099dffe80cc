#include <chrono>
#include <cstring>
#include <thread>

#include "log/LogLine.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"

namespace {

constexpr double kStaleLimitSeconds = 5.0;
constexpr double kWatchdogPeriodSeconds = 1.0;
// The period is slept in steps so that a stop request is noticed quickly.
constexpr auto kStopCheckStep = std::chrono::milliseconds(50);

// A discovered address may fill its 16 bytes without a terminator; copy at most those.
struct AddressText {
    char text[17]{};

    explicit AddressText(const char (&address)[16]) {
        const void* end = std::memchr(address, '\0', sizeof(address));
        const size_t length = end == nullptr
                                  ? sizeof(address)
                                  : static_cast<size_t>(static_cast<const char*>(end) - address);
        std::memcpy(text, address, length);
    }
};

}  // namespace

void DiscoveryCallback(const DiscoveredServer* server, void* context) {
    static_cast<MocapTracker*>(context)->OnServerDiscovered(server);
}

void MocapTracker::OnServerDiscovered(const DiscoveredServer* server) {
    if (client.load() != nullptr || server == nullptr) {
        return;
    }
    LogLine() << "Zintor server discovered, auto-connecting...\n";

    const AddressText serverAddress(server->serverAddress);
    const AddressText localAddress(server->localAddress);
    sOrvixClientConnectParams params{};
    params.connectionType = server->multicastFlag != 0 ? 0 : 1;
    params.commandPort = 0;
    params.dataPort = 0;
    params.serverAddress = serverAddress.text;
    params.localAddress = localAddress.text;
    params.multicastGroup = nullptr;
    params.optionFlag = false;
    params.reserved = 0;
    // The discovery keeps running; the first frame ends it, and a failed attempt can be retried
    // when the server is reported again.
    ConnectToServer(params);
}

void MocapTracker::StartDiscovery() {
    // The handle is published before the flag, so a frame that sees the flag finds the handle.
    OrvixDiscoveryHandle handle = nullptr;
    Orvix_CreateAsyncServerDiscovery(&handle, DiscoveryCallback, this);
    discovery.store(handle);
    discoveryActive.store(true);
}

bool MocapTracker::WatchdogPass(double now) {
    if (discoveryActive.load()) {
        // A running discovery is left alone, however long it takes.
        return true;
    }
    if (client.load() == nullptr) {
        LogLine() << "Orvix reconnect logic idle. Restarting discovery.\n";
        StartDiscovery();
        return false;
    }
    const double frameAge = now - lastFrameTime.load();
    if (frameAge > kStaleLimitSeconds || frameAge < -kStaleLimitSeconds) {
        LogLine() << "Orvix frame timestamp is stale. Restarting discovery.\n";
        DisconnectFromServer();
        StartDiscovery();
    }
    return true;
}

void MocapTracker::WatchdogLoop() {
    while (!watchdogStop.load()) {
        if (!WatchdogPass(platform::MonotonicSeconds())) {
            continue;
        }
        const double resume = platform::MonotonicSeconds() + kWatchdogPeriodSeconds;
        while (!watchdogStop.load() && platform::MonotonicSeconds() < resume) {
            std::this_thread::sleep_for(kStopCheckStep);
        }
    }
}
