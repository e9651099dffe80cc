#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "standins/orvix/OrvixStandin.h"
#include "standins/orvix/StandinDefaults.h"
#include "standins/orvix/UdpSocket.h"
#include "standins/orvix/WireFormat.h"
#include "tracking/OrvixLib.h"

namespace {

constexpr int kResendIntervalMs = 100;
constexpr int kStopPollMs = 100;

void CopyText(char* destination, size_t capacity, const std::string& text) {
    const size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

void PutAddress(uint8_t out[4], uint32_t address) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(address >> (24 - 8 * i));
    }
}

// Whole nanoseconds of ticks at the given rate, without overflow for any realistic rate.
int64_t TicksToNs(uint64_t ticks, uint64_t ticksPerSecond) {
    if (ticksPerSecond == orvix::wire::kNanosecondsPerSecond || ticksPerSecond == 0) {
        return static_cast<int64_t>(ticks);
    }
    const uint64_t whole = ticks / ticksPerSecond;
    const uint64_t rest = ticks % ticksPerSecond;
    return static_cast<int64_t>(whole * orvix::wire::kNanosecondsPerSecond +
                                rest * orvix::wire::kNanosecondsPerSecond / ticksPerSecond);
}

}  // namespace

class OrvixClient::Impl {
public:
    Impl() : frame_(std::make_unique<sFrameOfMocapData>()), buffer_(orvix::wire::kMaxDatagram) {}

    ErrorCode Connect(const sOrvixClientConnectParams& params);
    ErrorCode Disconnect();
    ErrorCode GetServerDescription(sServerDescription* description);
    ErrorCode SendMessageAndWait(const char* command, void** response, int* responseSize);
    ErrorCode SetFrameReceivedCallback(OrvixFrameCallback callback, void* context);
    double SecondsSinceHostTimestamp(uint64_t hostTimestamp) const;

private:
    // Sends request and waits for the reply that accept() takes, resending now and then.
    template <typename Accept>
    bool Exchange(const std::vector<uint8_t>& request, Accept accept);
    void StopReceiving();
    void ReceiveLoop();
    void CloseConnection();

    // Serialises connection, commands and disconnection; never held while joining the thread.
    std::mutex mutex_;
    bool connected_ = false;
    bool multicast_ = false;
    uint32_t localAddress_ = orvix::kAnyAddress;
    uint32_t group_ = 0;
    orvix::Endpoint server_;
    orvix::UdpSocket commandSocket_;
    orvix::UdpSocket dataSocket_;
    uint32_t nextRequestId_ = 1;
    sServerDescription description_{};
    std::vector<uint8_t> response_;
    std::vector<uint8_t> request_;
    std::vector<uint8_t> reply_ = std::vector<uint8_t>(orvix::wire::kMaxDatagram);

    // Server clock (ns) minus client clock (ns), an upper bound so that ages are never negative.
    std::atomic<int64_t> serverMinusClientNs_{0};
    std::atomic<uint64_t> ticksPerSecond_{orvix::wire::kNanosecondsPerSecond};

    // The frame record is large; one per client, reused for every datagram.
    std::unique_ptr<sFrameOfMocapData> frame_;
    std::vector<uint8_t> buffer_;
    std::thread receiver_;
    std::atomic<std::thread::id> receiverId_{};
    std::atomic<bool> stopReceiving_{false};
    OrvixFrameCallback callback_ = nullptr;
    void* context_ = nullptr;
};

template <typename Accept>
bool OrvixClient::Impl::Exchange(const std::vector<uint8_t>& request, Accept accept) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kOrvixAnswerTimeoutMs);
    auto nextSend = Clock::now();
    while (true) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        if (now >= nextSend) {
            if (!commandSocket_.SendTo(server_, request.data(), request.size())) {
                return false;
            }
            nextSend = now + std::chrono::milliseconds(kResendIntervalMs);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                              (nextSend < deadline ? nextSend : deadline) - now)
                              .count() +
                          1;
        orvix::Endpoint from;
        const long size =
            commandSocket_.ReceiveFrom(reply_.data(), reply_.size(), static_cast<int>(wait), &from);
        if (size < 0) {
            return false;
        }
        if (size > 0 && accept(reply_.data(), static_cast<size_t>(size))) {
            return true;
        }
    }
}

ErrorCode OrvixClient::Impl::Connect(const sOrvixClientConnectParams& params) {
    std::lock_guard lock(mutex_);
    if (connected_) {
        return Orvix_ErrorAlreadyConnected;
    }
    uint32_t serverAddress = 0;
    if ((params.connectionType != 0 && params.connectionType != 1) ||
        !orvix::ParseIPv4(params.serverAddress, &serverAddress)) {
        return Orvix_ErrorInvalidArgument;
    }
    uint32_t localAddress = orvix::kAnyAddress;
    if (params.localAddress != nullptr && params.localAddress[0] != '\0' &&
        !orvix::ParseIPv4(params.localAddress, &localAddress)) {
        return Orvix_ErrorInvalidArgument;
    }
    const bool multicast = params.connectionType == 0;
    uint32_t group = 0;
    if (multicast &&
        !orvix::ParseIPv4(
            params.multicastGroup != nullptr ? params.multicastGroup : kOrvixDefaultMulticastGroup,
            &group)) {
        return Orvix_ErrorInvalidArgument;
    }
    const uint16_t commandPort =
        params.commandPort != 0 ? params.commandPort : OrvixStandin_DefaultCommandPort();
    const uint16_t dataPort =
        params.dataPort != 0 ? params.dataPort : OrvixStandin_DefaultDataPort();

    server_ = {serverAddress, commandPort};
    localAddress_ = localAddress;
    group_ = group;
    multicast_ = multicast;
    if (!commandSocket_.Open() || !commandSocket_.Bind({localAddress, 0})) {
        CloseConnection();
        return Orvix_ErrorNetwork;
    }
    // Unicast frames come to a port of our own, so that several clients can share a host;
    // multicast frames come to the group's port, which every member shares.
    orvix::Endpoint dataLocal{localAddress, 0};
    if (multicast) {
        dataLocal = {orvix::kAnyAddress, dataPort};
    }
    const uint32_t groupInterface =
        localAddress != orvix::kAnyAddress ? localAddress : orvix::kLoopbackAddress;
    if (!dataSocket_.Open(multicast) || !dataSocket_.Bind(dataLocal) ||
        !dataSocket_.LocalEndpoint(&dataLocal) ||
        (multicast && !dataSocket_.JoinGroup(group, groupInterface))) {
        CloseConnection();
        return Orvix_ErrorNetwork;
    }

    orvix::wire::ConnectRequest request;
    request.requestId = nextRequestId_++;
    request.unicast = !multicast;
    request.clientDataPort = multicast ? 0 : dataLocal.port;
    request.clientTimeNs = static_cast<uint64_t>(OrvixStandin_ClientNowNs());
    orvix::wire::EncodeConnectRequest(request, request_);
    orvix::wire::ConnectReply reply;
    const bool answered = Exchange(request_, [&](const uint8_t* data, size_t size) {
        if (!orvix::wire::DecodeConnectReply(data, size, &reply)) {
            orvix::CountMalformedDatagram();
            return false;
        }
        return reply.requestId == request.requestId;
    });
    if (!answered) {
        CloseConnection();
        return Orvix_ErrorNoServer;
    }
    if (reply.result != ErrorCode_OK) {
        CloseConnection();
        return reply.result;
    }

    // The server answered somewhere between our send and the reply's arrival (a resend only
    // widens that window), so its clock at our send time was at most serverTicks. Taking that
    // bound means our estimate of the server's clock runs ahead by at most one round trip and
    // the age of a frame is never negative.
    const uint64_t rate =
        reply.ticksPerSecond != 0 ? reply.ticksPerSecond : orvix::wire::kNanosecondsPerSecond;
    ticksPerSecond_.store(rate);
    const int64_t serverNs = TicksToNs(reply.serverTicks, rate);
    const int64_t sentNs = static_cast<int64_t>(reply.clientTimeNs);
    serverMinusClientNs_.store(serverNs - sentNs);

    description_ = sServerDescription{};
    description_.hostPresent = true;
    CopyText(description_.hostComputerName, sizeof(description_.hostComputerName), reply.hostName);
    PutAddress(description_.hostComputerAddress, serverAddress);
    CopyText(description_.hostApp, sizeof(description_.hostApp), reply.appName);
    std::memcpy(description_.hostAppVersion, reply.appVersion, 4);
    description_.protocolVersion[0] = orvix::wire::kVersion;
    description_.highResClockFrequency = rate;
    description_.connectionInfoValid = true;
    description_.connectionDataPort = reply.dataPort;
    description_.connectionMulticast = reply.multicast;
    PutAddress(description_.connectionMulticastAddress, reply.multicastGroup);
    connected_ = true;
    return ErrorCode_OK;
}

ErrorCode OrvixClient::Impl::GetServerDescription(sServerDescription* description) {
    if (description == nullptr) {
        return Orvix_ErrorInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    if (!connected_) {
        return Orvix_ErrorNotConnected;
    }
    *description = description_;
    return ErrorCode_OK;
}

ErrorCode OrvixClient::Impl::SendMessageAndWait(const char* command, void** response,
                                                int* responseSize) {
    if (command == nullptr || response == nullptr || responseSize == nullptr ||
        std::strlen(command) > orvix::wire::kMaxTextLength) {
        return Orvix_ErrorInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    if (!connected_) {
        return Orvix_ErrorNotConnected;
    }
    orvix::wire::Command message;
    message.requestId = nextRequestId_++;
    message.text = command;
    orvix::wire::EncodeCommand(message, request_);
    orvix::wire::CommandReply reply;
    const bool answered = Exchange(request_, [&](const uint8_t* data, size_t size) {
        if (!orvix::wire::DecodeCommandReply(data, size, &reply)) {
            // A late answer to an earlier connect request is no fault of the datagram.
            orvix::wire::MessageType type{};
            if (!orvix::wire::PeekType(data, size, &type) ||
                type != orvix::wire::MessageType::kConnectReply) {
                orvix::CountMalformedDatagram();
            }
            return false;
        }
        return reply.requestId == message.requestId;
    });
    if (!answered) {
        return Orvix_ErrorNoServer;
    }
    if (reply.result != ErrorCode_OK) {
        return reply.result;
    }
    // The answer stays ours until the next command; an empty answer has no bytes to point to.
    response_ = std::move(reply.payload);
    *response = response_.empty() ? nullptr : response_.data();
    *responseSize = static_cast<int>(response_.size());
    return ErrorCode_OK;
}

ErrorCode OrvixClient::Impl::SetFrameReceivedCallback(OrvixFrameCallback callback, void* context) {
    if (receiverId_.load() == std::this_thread::get_id()) {
        // The running thread cannot replace itself.
        return Orvix_ErrorInvalidArgument;
    }
    StopReceiving();
    std::lock_guard lock(mutex_);
    if (!connected_) {
        return Orvix_ErrorNotConnected;
    }
    callback_ = callback;
    context_ = context;
    if (callback == nullptr) {
        return ErrorCode_OK;
    }
    stopReceiving_.store(false);
    receiver_ = std::thread([this] { ReceiveLoop(); });
    return ErrorCode_OK;
}

void OrvixClient::Impl::ReceiveLoop() {
    receiverId_.store(std::this_thread::get_id());
    while (!stopReceiving_.load()) {
        const long size =
            dataSocket_.ReceiveFrom(buffer_.data(), buffer_.size(), kStopPollMs, nullptr);
        if (size < 0) {
            // Interrupted, most likely by a signal; do not spin if it persists.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (size == 0 || stopReceiving_.load()) {
            continue;
        }
        if (!orvix::wire::DecodeFrameInto(buffer_.data(), static_cast<size_t>(size),
                                          frame_.get())) {
            orvix::CountMalformedDatagram();
            continue;
        }
        // A frame left the server before it reached us: if our estimate of the server's clock
        // lags its transmit time, the clocks drifted and the estimate moves forward.
        const int64_t transmitNs =
            TicksToNs(frame_->transmitTimestamp, ticksPerSecond_.load(std::memory_order_relaxed));
        const int64_t nowNs = OrvixStandin_ClientNowNs();
        if (frame_->transmitTimestamp != 0 &&
            nowNs + serverMinusClientNs_.load(std::memory_order_relaxed) < transmitNs) {
            serverMinusClientNs_.store(transmitNs - nowNs, std::memory_order_relaxed);
        }
        callback_(frame_.get(), context_);
    }
}

void OrvixClient::Impl::StopReceiving() {
    stopReceiving_.store(true);
    if (receiverId_.load() == std::this_thread::get_id()) {
        // Called from our own callback: the loop ends when the callback returns, and whoever
        // disconnects or destroys the client from another thread joins it.
        return;
    }
    if (receiver_.joinable()) {
        // An empty datagram to our own data port wakes the loop at once; if it goes astray (a
        // shared multicast port), the loop still notices the flag within kStopPollMs.
        orvix::Endpoint self;
        if (dataSocket_.LocalEndpoint(&self)) {
            if (self.address == orvix::kAnyAddress) {
                self.address = orvix::kLoopbackAddress;
            }
            commandSocket_.SendTo(self, nullptr, 0);
        }
        receiver_.join();
    }
    receiverId_.store(std::thread::id{});
}

void OrvixClient::Impl::CloseConnection() {
    if (multicast_ && dataSocket_.IsOpen()) {
        dataSocket_.LeaveGroup(
            group_, localAddress_ != orvix::kAnyAddress ? localAddress_ : orvix::kLoopbackAddress);
    }
    dataSocket_.Close();
    commandSocket_.Close();
    connected_ = false;
}

ErrorCode OrvixClient::Impl::Disconnect() {
    StopReceiving();
    if (receiverId_.load() == std::this_thread::get_id()) {
        return ErrorCode_OK;
    }
    std::lock_guard lock(mutex_);
    if (connected_) {
        // Tell the server to stop streaming to us; it needs no answer.
        orvix::wire::EncodeEmpty(orvix::wire::MessageType::kLeave, request_);
        commandSocket_.SendTo(server_, request_.data(), request_.size());
    }
    CloseConnection();
    return ErrorCode_OK;
}

double OrvixClient::Impl::SecondsSinceHostTimestamp(uint64_t hostTimestamp) const {
    const int64_t hostNs =
        TicksToNs(hostTimestamp, ticksPerSecond_.load(std::memory_order_relaxed));
    const int64_t serverNowNs =
        OrvixStandin_ClientNowNs() + serverMinusClientNs_.load(std::memory_order_relaxed);
    return static_cast<double>(serverNowNs - hostNs) * 1e-9;
}

OrvixClient::OrvixClient() : impl_(new Impl) {}

OrvixClient::~OrvixClient() {
    impl_->Disconnect();
    delete impl_;
}

ErrorCode OrvixClient::Connect(const sOrvixClientConnectParams& params) {
    return impl_->Connect(params);
}

ErrorCode OrvixClient::Disconnect() {
    return impl_->Disconnect();
}

ErrorCode OrvixClient::GetServerDescription(sServerDescription* description) {
    return impl_->GetServerDescription(description);
}

ErrorCode OrvixClient::SendMessageAndWait(const char* command, void** response, int* responseSize) {
    return impl_->SendMessageAndWait(command, response, responseSize);
}

ErrorCode OrvixClient::SetFrameReceivedCallback(OrvixFrameCallback callback, void* context) {
    return impl_->SetFrameReceivedCallback(callback, context);
}

double OrvixClient::SecondsSinceHostTimestamp(uint64_t hostTimestamp) const {
    return impl_->SecondsSinceHostTimestamp(hostTimestamp);
}
