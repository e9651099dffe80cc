#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "standins/orvix/OrvixStandin.h"
#include "standins/orvix/StandinDefaults.h"
#include "standins/orvix/UdpSocket.h"
#include "standins/orvix/WireFormat.h"
#include "tracking/OrvixLib.h"

namespace {

constexpr auto kQueryInterval = std::chrono::milliseconds(500);
constexpr int kStopPollMs = 50;

void CopyText(char* destination, size_t capacity, const std::string& text) {
    const size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

// One running discovery; the handle given out is a pointer to it.
struct Discovery {
    OrvixDiscoveryCallback callback = nullptr;
    void* context = nullptr;
    orvix::UdpSocket socket;
    std::thread thread;
    std::atomic<bool> started{false};  // the thread member is assigned
    std::atomic<bool> stop{false};
    std::atomic<bool> ownedByThread{false};
    std::atomic<std::thread::id> threadId{};

    void Run();
    void Report(const orvix::Endpoint& from, const orvix::wire::DiscoveryReply& reply);
};

void Discovery::Report(const orvix::Endpoint& from, const orvix::wire::DiscoveryReply& reply) {
    DiscoveredServer server{};
    CopyText(server.localAddress, sizeof(server.localAddress),
             orvix::FormatIPv4(orvix::kLoopbackAddress));
    CopyText(server.serverAddress, sizeof(server.serverAddress), orvix::FormatIPv4(from.address));
    server.serverCommandPort = reply.commandPort;
    CopyText(reinterpret_cast<char*>(server.serverInfo), sizeof(server.serverInfo),
             reply.serverName);
    server.multicastFlag = reply.multicast ? 1 : 0;
    if (reply.multicast) {
        CopyText(server.multicastAddress, sizeof(server.multicastAddress),
                 orvix::FormatIPv4(reply.multicastGroup));
    }
    callback(&server, context);
}

void Discovery::Run() {
    while (!started.load()) {
        std::this_thread::yield();
    }
    threadId.store(std::this_thread::get_id());
    std::vector<uint8_t> query;
    orvix::wire::EncodeEmpty(orvix::wire::MessageType::kDiscoveryQuery, query);
    std::vector<uint8_t> buffer(orvix::wire::kMaxDatagram);
    auto nextQuery = std::chrono::steady_clock::now();
    while (!stop.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextQuery) {
            socket.SendTo({orvix::kLoopbackAddress, OrvixStandin_DefaultCommandPort()},
                          query.data(), query.size());
            nextQuery = now + kQueryInterval;
        }
        orvix::Endpoint from;
        const long size = socket.ReceiveFrom(buffer.data(), buffer.size(), kStopPollMs, &from);
        if (size <= 0 || stop.load()) {
            continue;
        }
        orvix::wire::DiscoveryReply reply;
        if (!orvix::wire::DecodeDiscoveryReply(buffer.data(), static_cast<size_t>(size), &reply)) {
            orvix::CountMalformedDatagram();
            continue;
        }
        Report(from, reply);
    }
    if (ownedByThread.load()) {
        // Freed from inside its own callback: nobody else will join or delete it.
        thread.detach();
        delete this;
    }
}

}  // namespace

ErrorCode Orvix_CreateAsyncServerDiscovery(OrvixDiscoveryHandle* handle,
                                           OrvixDiscoveryCallback callback, void* context) {
    if (handle == nullptr || callback == nullptr) {
        return Orvix_ErrorInvalidArgument;
    }
    auto* discovery = new Discovery;
    discovery->callback = callback;
    discovery->context = context;
    if (!discovery->socket.Open() || !discovery->socket.Bind({orvix::kLoopbackAddress, 0})) {
        delete discovery;
        *handle = nullptr;
        return Orvix_ErrorNetwork;
    }
    // The handle is in place before the first callback can run.
    *handle = discovery;
    discovery->thread = std::thread([discovery] { discovery->Run(); });
    discovery->started.store(true);
    return ErrorCode_OK;
}

ErrorCode Orvix_FreeAsyncServerDiscovery(OrvixDiscoveryHandle handle) {
    if (handle == nullptr) {
        return Orvix_ErrorInvalidArgument;
    }
    auto* discovery = static_cast<Discovery*>(handle);
    if (discovery->threadId.load() == std::this_thread::get_id()) {
        discovery->ownedByThread.store(true);
        discovery->stop.store(true);
        return ErrorCode_OK;
    }
    discovery->stop.store(true);
    discovery->thread.join();
    delete discovery;
    return ErrorCode_OK;
}
