#include "tools/mocap-sim/SimServer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

#include "platform/Platform.h"
#include "standins/orvix/WireFormat.h"

namespace {

constexpr size_t kMaxClients = 64;
constexpr int kCommandPollMs = 20;
constexpr int32_t kUnknownCommandCode = 1;
const char* const kServerName = "tarvex-mocap-sim";
// Every run draws the same noise, so that runs can be compared.
constexpr uint64_t kJitterSeed = 20240611;
constexpr uint64_t kRightHandJitterSeed = kJitterSeed + 1;
constexpr uint64_t kLeftHandJitterSeed = kJitterSeed + 2;

std::string FormatSeconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.6f", seconds);
    return text;
}

std::string FormatRate(double hertz) {
    char text[64];
    std::snprintf(text, sizeof(text), "%g", hertz);
    return text;
}

// "; right hand id 2, left hand id 3" for the hands the frames carry, or nothing.
std::string DescribeHands(const std::vector<FrameBody>& bodies) {
    std::string text;
    for (const FrameBody& body : bodies) {
        if (body.role == BodyRole::kRightHand || body.role == BodyRole::kLeftHand) {
            text += (text.empty() ? "; " : ", ") +
                    std::string(body.role == BodyRole::kRightHand ? "right" : "left") +
                    " hand id " + std::to_string(body.id);
        }
    }
    return text;
}

void SetPose(RigidBodyEntry& body, const MocapPose& pose) {
    body.x = pose.x;
    body.y = pose.y;
    body.z = pose.z;
    body.qx = pose.qx;
    body.qy = pose.qy;
    body.qz = pose.qz;
    body.qw = pose.qw;
}

std::vector<uint8_t> Int32Bytes(int32_t value, size_t size) {
    std::vector<uint8_t> bytes(size, 0);
    for (size_t i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    }
    return bytes;
}

}  // namespace

SimServer::SimServer(SimOptions options, LogSink log)
    : options_(std::move(options)),
      log_(std::move(log)),
      frameBodies_(PlanFrameBodies(options_)),
      jitter_(options_.jitterPositionMm, options_.jitterOrientationDegrees, kJitterSeed),
      rightHandJitter_(options_.jitterPositionMm, options_.jitterOrientationDegrees,
                       kRightHandJitterSeed),
      leftHandJitter_(options_.jitterPositionMm, options_.jitterOrientationDegrees,
                      kLeftHandJitterSeed) {}

SimServer::~SimServer() {
    Stop();
}

void SimServer::Log(const std::string& line) {
    std::lock_guard lock(logMutex_);
    if (log_) {
        log_(line);
    }
}

double SimServer::Elapsed() const {
    return platform::MonotonicSeconds() - startSeconds_;
}

uint64_t SimServer::TicksAt(double monotonicSeconds) const {
    const double shifted = monotonicSeconds + options_.clockOffsetSeconds;
    return shifted <= 0.0 ? 0 : static_cast<uint64_t>(std::llround(shifted * 1e9));
}

bool SimServer::Start(std::string* error) {
    if (!orvix::ParseIPv4(options_.bindAddress.c_str(), &bindAddress_)) {
        *error = "bad bind address " + options_.bindAddress;
        return false;
    }
    if (!orvix::ParseIPv4(options_.multicastGroup.c_str(), &group_) || (group_ >> 28) != 0xEu) {
        *error = "bad multicast group " + options_.multicastGroup;
        return false;
    }
    orvix::Endpoint local{bindAddress_, options_.commandPort};
    if (!socket_.Open() || !socket_.Bind(local) || !socket_.LocalEndpoint(&local)) {
        *error = "cannot bind " + orvix::FormatEndpoint(local) + " (port in use?)";
        return false;
    }
    commandPort_ = local.port;
    if (options_.multicast && !socket_.SetMulticastSending(bindAddress_)) {
        *error = "cannot send multicast through " + options_.bindAddress;
        return false;
    }
    startSeconds_ = platform::MonotonicSeconds();
    Log("tarvex-mocap-sim: started at monotonic " + FormatSeconds(startSeconds_) +
        " s; commands on " + orvix::FormatEndpoint(local) + "; streaming " +
        (options_.multicast
             ? "multicast to " + options_.multicastGroup + ":" + std::to_string(options_.dataPort)
             : std::string("unicast")) +
        " at " + FormatRate(options_.rateHz) + " Hz; headset id " +
        std::to_string(options_.headsetId) + " of " + std::to_string(options_.bodyCount) +
        " bodies; path " + MocapPathName(options_.path.kind) +
        (options_.jitterPositionMm > 0.0 || options_.jitterOrientationDegrees > 0.0
             ? "; jitter " + FormatRate(options_.jitterPositionMm) + " mm, " +
                   FormatRate(options_.jitterOrientationDegrees) + " deg RMS"
             : std::string()) +
        (options_.clockOffsetSeconds != 0.0
             ? "; clock offset " + FormatSeconds(options_.clockOffsetSeconds) + " s"
             : std::string()) +
        (options_.latencyMs != 0.0 ? "; latency " + FormatRate(options_.latencyMs) + " ms"
                                   : std::string()) +
        DescribeHands(frameBodies_));
    stop_.store(false);
    started_ = true;
    commandThread_ = std::thread([this] { CommandLoop(); });
    streamThread_ = std::thread([this] { StreamLoop(); });
    return true;
}

void SimServer::Stop() {
    if (!started_) {
        return;
    }
    started_ = false;
    stop_.store(true);
    commandThread_.join();
    streamThread_.join();
    stopSeconds_.store(platform::MonotonicSeconds());
    socket_.Close();
}

size_t SimServer::ConnectedClients() const {
    std::lock_guard lock(clientsMutex_);
    return clients_.size();
}

SimSummary SimServer::Summary() const {
    SimSummary summary;
    summary.framesSent = framesSent_.load();
    summary.datagramsSent = datagramsSent_.load();
    summary.clientsServed = clientsServed_.load();
    summary.connectionsRefused = connectionsRefused_.load();
    summary.commandsAnswered = commandsAnswered_.load();
    summary.discoveryQueriesAnswered = discoveryAnswered_.load();
    summary.malformedReceived = malformedReceived_.load();
    const double end =
        stopSeconds_.load() != 0.0 ? stopSeconds_.load() : platform::MonotonicSeconds();
    summary.runSeconds = end - startSeconds_;
    return summary;
}

std::string SimServer::SummaryLine() const {
    const SimSummary s = Summary();
    return "summary: frames sent " + std::to_string(s.framesSent) + ", datagrams sent " +
           std::to_string(s.datagramsSent) + ", clients served " + std::to_string(s.clientsServed) +
           ", connections refused " + std::to_string(s.connectionsRefused) +
           ", commands answered " + std::to_string(s.commandsAnswered) +
           ", discovery queries answered " + std::to_string(s.discoveryQueriesAnswered) +
           ", malformed datagrams received " + std::to_string(s.malformedReceived) + ", ran " +
           FormatSeconds(s.runSeconds) + " s";
}

void SimServer::CommandLoop() {
    std::vector<uint8_t> buffer(orvix::wire::kMaxDatagram);
    while (!stop_.load()) {
        orvix::Endpoint from;
        const long size = socket_.ReceiveFrom(buffer.data(), buffer.size(), kCommandPollMs, &from);
        if (size > 0) {
            HandleDatagram(from, buffer.data(), static_cast<size_t>(size));
        }
    }
}

void SimServer::HandleDatagram(const orvix::Endpoint& from, const uint8_t* data, size_t size) {
    orvix::wire::MessageType type{};
    if (!orvix::wire::PeekType(data, size, &type)) {
        malformedReceived_.fetch_add(1);
        Log("malformed datagram of " + std::to_string(size) + " bytes from " +
            orvix::FormatEndpoint(from) + " dropped");
        return;
    }
    std::vector<uint8_t> reply;
    switch (type) {
        case orvix::wire::MessageType::kDiscoveryQuery: {
            orvix::wire::DiscoveryReply message;
            message.commandPort = commandPort_;
            message.dataPort = options_.dataPort;
            message.multicast = options_.multicast;
            message.multicastGroup = group_;
            message.serverName = kServerName;
            orvix::wire::EncodeDiscoveryReply(message, reply);
            socket_.SendTo(from, reply.data(), reply.size());
            discoveryAnswered_.fetch_add(1);
            Log("discovery query from " + orvix::FormatEndpoint(from) + " answered");
            return;
        }
        case orvix::wire::MessageType::kConnectRequest:
            HandleConnect(from, data, size);
            return;
        case orvix::wire::MessageType::kCommand:
            HandleCommand(from, data, size);
            return;
        case orvix::wire::MessageType::kLeave:
            RemoveClient(from, "left");
            return;
        default:
            malformedReceived_.fetch_add(1);
            Log("unexpected datagram from " + orvix::FormatEndpoint(from) + " dropped");
            return;
    }
}

void SimServer::HandleConnect(const orvix::Endpoint& from, const uint8_t* data, size_t size) {
    orvix::wire::ConnectRequest request;
    if (!orvix::wire::DecodeConnectRequest(data, size, &request)) {
        malformedReceived_.fetch_add(1);
        Log("malformed connect request from " + orvix::FormatEndpoint(from) + " dropped");
        return;
    }
    orvix::wire::ConnectReply reply;
    reply.requestId = request.requestId;
    reply.clientTimeNs = request.clientTimeNs;
    reply.ticksPerSecond = orvix::wire::kNanosecondsPerSecond;
    reply.dataPort = options_.dataPort;
    reply.multicast = options_.multicast;
    reply.multicastGroup = group_;
    reply.appVersion[0] = 1;
    reply.hostName = kServerName;
    reply.appName = std::string(kServerName) + " start=" + FormatSeconds(startSeconds_);
    if (options_.refuse) {
        reply.result = options_.refuseCode;
        connectionsRefused_.fetch_add(1);
        Log("connection from " + orvix::FormatEndpoint(from) + " refused with code " +
            std::to_string(options_.refuseCode));
    } else {
        Client client;
        client.command = from;
        client.unicast = request.unicast;
        client.data = {from.address, request.clientDataPort};
        bool repeated = false;
        {
            std::lock_guard lock(clientsMutex_);
            for (auto it = clients_.begin(); it != clients_.end(); ++it) {
                if (it->command == from) {
                    // A resent request for a connection we already made.
                    repeated = true;
                    clients_.erase(it);
                    break;
                }
            }
            if (clients_.size() >= kMaxClients) {
                clients_.erase(clients_.begin());
            }
            clients_.push_back(client);
        }
        if (!repeated) {
            clientsServed_.fetch_add(1);
            Log("client " + orvix::FormatEndpoint(from) + " connected (" +
                (request.unicast ? "unicast, frames to " + orvix::FormatEndpoint(client.data)
                                 : std::string("multicast")) +
                ")");
        }
    }
    reply.serverTicks = TicksAt(platform::MonotonicSeconds());
    std::vector<uint8_t> bytes;
    orvix::wire::EncodeConnectReply(reply, bytes);
    socket_.SendTo(from, bytes.data(), bytes.size());
}

void SimServer::HandleCommand(const orvix::Endpoint& from, const uint8_t* data, size_t size) {
    orvix::wire::Command command;
    if (!orvix::wire::DecodeCommand(data, size, &command)) {
        malformedReceived_.fetch_add(1);
        Log("malformed command from " + orvix::FormatEndpoint(from) + " dropped");
        return;
    }
    const CommandAnswer* answer = nullptr;
    if (command.text == "SubscribeToData") {
        answer = &options_.subscribeAnswer;
    } else if (command.text == "SubscribeToData,AllTypes,None") {
        answer = &options_.unsubscribeAnswer;
    } else if (command.text == "Disconnect") {
        answer = &options_.disconnectAnswer;
    }
    bool known = false;
    {
        std::lock_guard lock(clientsMutex_);
        for (Client& client : clients_) {
            if (client.command == from) {
                known = true;
                // Both subscription commands clear the client's filters; every rigid body
                // keeps streaming either way.
                if (answer != nullptr && command.text != "Disconnect") {
                    ++client.subscriptionResets;
                }
            }
        }
    }
    orvix::wire::CommandReply reply;
    reply.requestId = command.requestId;
    std::string described;
    if (answer == nullptr) {
        reply.result = kUnknownCommandCode;
        described = "error:" + std::to_string(kUnknownCommandCode) + " (unknown command)";
    } else {
        described = DescribeCommandAnswer(*answer);
        switch (answer->kind) {
            case CommandAnswer::Kind::kInt32:
                reply.payload = Int32Bytes(answer->value, 4);
                break;
            case CommandAnswer::Kind::kLong:
                reply.payload = Int32Bytes(answer->value, 8);
                break;
            case CommandAnswer::Kind::kError:
                reply.result = answer->value;
                break;
            case CommandAnswer::Kind::kEmpty:
            case CommandAnswer::Kind::kSilent:
                break;
        }
    }
    const std::string who =
        orvix::FormatEndpoint(from) + (known ? std::string() : std::string(" (not connected)"));
    if (answer != nullptr && answer->kind == CommandAnswer::Kind::kSilent) {
        Log("command '" + command.text + "' from " + who + " left unanswered");
    } else {
        std::vector<uint8_t> bytes;
        orvix::wire::EncodeCommandReply(reply, bytes);
        socket_.SendTo(from, bytes.data(), bytes.size());
        commandsAnswered_.fetch_add(1);
        Log("command '" + command.text + "' from " + who + " answered " + described);
    }
    if (command.text == "Disconnect") {
        RemoveClient(from, "disconnected");
    }
}

void SimServer::RemoveClient(const orvix::Endpoint& from, const char* how) {
    bool removed = false;
    {
        std::lock_guard lock(clientsMutex_);
        for (auto it = clients_.begin(); it != clients_.end(); ++it) {
            if (it->command == from) {
                clients_.erase(it);
                removed = true;
                break;
            }
        }
    }
    if (removed) {
        Log("client " + orvix::FormatEndpoint(from) + " " + how);
    }
}

void SimServer::SendFrame(uint32_t frameNumber, double scheduledSeconds) {
    std::vector<RigidBodyEntry> bodies(frameBodies_.size());
    const double capturedSeconds = scheduledSeconds - options_.latencyMs * 1e-3;
    const double pathSeconds = capturedSeconds - startSeconds_;
    for (size_t i = 0; i < bodies.size(); ++i) {
        RigidBodyEntry& body = bodies[i];
        body.id = frameBodies_[i].id;
        body.meanError = 0.0002f;
        body.params = 1;  // tracked
        switch (frameBodies_[i].role) {
            case BodyRole::kHeadset:
                SetPose(body, jitter_.Apply(options_.path.PoseAt(pathSeconds)));
                break;
            case BodyRole::kRightHand:
                SetPose(body, rightHandJitter_.Apply(
                                  HandPoseAt(options_.path, pathSeconds, HandSide::kRight)));
                break;
            case BodyRole::kLeftHand:
                SetPose(body, leftHandJitter_.Apply(
                                  HandPoseAt(options_.path, pathSeconds, HandSide::kLeft)));
                break;
            case BodyRole::kProp: {
                // Props turn slowly in place, a metre apart.
                const double yaw = 0.5 * pathSeconds + static_cast<double>(i);
                body.x = static_cast<float>(i) - 1.0f;
                body.y = 1.0f;
                body.z = 2.0f;
                body.qy = static_cast<float>(std::sin(yaw / 2.0));
                body.qw = static_cast<float>(std::cos(yaw / 2.0));
                break;
            }
        }
    }
    orvix::wire::FrameHeader header;
    header.frameNumber = frameNumber;
    header.cameraMidExposureTimestamp = TicksAt(capturedSeconds);
    header.cameraDataReceivedTimestamp = TicksAt(platform::MonotonicSeconds());
    header.transmitTimestamp = TicksAt(platform::MonotonicSeconds());
    std::vector<uint8_t> datagram;
    orvix::wire::EncodeFrame(header, bodies.data(), bodies.size(), datagram);
    if (options_.truncateEvery > 0 &&
        frameNumber % static_cast<uint32_t>(options_.truncateEvery) == 0) {
        datagram.resize(datagram.size() / 2);
    }

    std::vector<orvix::Endpoint> targets;
    {
        std::lock_guard lock(clientsMutex_);
        for (const Client& client : clients_) {
            if (client.unicast) {
                targets.push_back(client.data);
            }
        }
    }
    if (options_.multicast) {
        targets.push_back({group_, options_.dataPort});
    }
    for (const orvix::Endpoint& target : targets) {
        if (socket_.SendTo(target, datagram.data(), datagram.size())) {
            datagramsSent_.fetch_add(1);
        }
    }
    framesSent_.fetch_add(1);
    if (options_.logFrames) {
        Log("frame " + std::to_string(frameNumber) + " sent to " + std::to_string(targets.size()) +
            " receivers");
    }
}

void SimServer::StreamLoop() {
    const double period = 1.0 / options_.rateHz;
    uint64_t tick = 0;
    uint32_t frameNumber = 0;
    bool paused = false;
    bool stoppedForGood = false;
    while (!stop_.load()) {
        double scheduled = startSeconds_ + static_cast<double>(tick) * period;
        double now = platform::MonotonicSeconds();
        if (scheduled > now) {
            // MinGW's sleep rounds down to whole milliseconds, so it may wake early: sleep on.
            while (scheduled > now) {
                std::this_thread::sleep_for(std::chrono::duration<double>(scheduled - now));
                now = platform::MonotonicSeconds();
            }
        } else if (now - scheduled > 0.1) {
            // Fell far behind (a stalled machine): skip ahead instead of sending a burst.
            tick = static_cast<uint64_t>((now - startSeconds_) / period);
            scheduled = startSeconds_ + static_cast<double>(tick) * period;
        }
        ++tick;
        const double elapsed = now - startSeconds_;
        if (options_.durationSeconds > 0.0 && elapsed >= options_.durationSeconds) {
            if (!finished_.exchange(true)) {
                Log("duration of " + FormatSeconds(options_.durationSeconds) + " s reached");
            }
            // Keep answering until stopped; the owner decides when to end.
            std::this_thread::sleep_for(std::chrono::milliseconds(kCommandPollMs));
            continue;
        }
        if (options_.stopAfterSeconds >= 0.0 && elapsed >= options_.stopAfterSeconds) {
            if (!stoppedForGood) {
                stoppedForGood = true;
                Log("streaming stopped for good after " + FormatSeconds(elapsed) + " s");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kCommandPollMs));
            continue;
        }
        const bool inPause = options_.pauseAfterSeconds >= 0.0 &&
                             elapsed >= options_.pauseAfterSeconds &&
                             elapsed < options_.pauseAfterSeconds + options_.pauseForSeconds;
        if (inPause != paused) {
            paused = inPause;
            Log(paused ? "streaming paused for " + FormatSeconds(options_.pauseForSeconds) + " s"
                       : std::string("streaming resumed"));
        }
        if (paused) {
            continue;
        }
        SendFrame(++frameNumber, scheduled);
    }
}
