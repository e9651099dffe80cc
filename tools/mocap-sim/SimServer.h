#pragma once

// The simulated motion-capture server: answers discovery and commands on one UDP port and
// streams frames from a second thread. The command-line tool and the tests both run it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "standins/orvix/UdpSocket.h"
#include "tools/mocap-sim/FrameBodies.h"
#include "tools/mocap-sim/PoseJitter.h"
#include "tools/mocap-sim/SimOptions.h"

struct SimSummary {
    uint64_t framesSent = 0;
    uint64_t datagramsSent = 0;
    uint64_t clientsServed = 0;
    uint64_t connectionsRefused = 0;
    uint64_t commandsAnswered = 0;
    uint64_t discoveryQueriesAnswered = 0;
    uint64_t malformedReceived = 0;
    double runSeconds = 0.0;
};

class SimServer {
public:
    using LogSink = std::function<void(const std::string& line)>;

    SimServer(SimOptions options, LogSink log);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Binds the command port and starts both threads; false with a reason when it cannot.
    bool Start(std::string* error);
    // Ends both threads; safe to call more than once.
    void Stop();

    uint16_t CommandPort() const { return commandPort_; }
    // Monotonic seconds at the start: path time 0.
    double StartSeconds() const { return startSeconds_; }
    // True once --duration has run out.
    bool Finished() const { return finished_.load(); }
    size_t ConnectedClients() const;
    SimSummary Summary() const;
    std::string SummaryLine() const;

private:
    struct Client {
        orvix::Endpoint command;
        orvix::Endpoint data;  // unicast frames go here
        bool unicast = true;
        uint64_t subscriptionResets = 0;
    };

    void CommandLoop();
    void StreamLoop();
    void HandleDatagram(const orvix::Endpoint& from, const uint8_t* data, size_t size);
    void HandleConnect(const orvix::Endpoint& from, const uint8_t* data, size_t size);
    void HandleCommand(const orvix::Endpoint& from, const uint8_t* data, size_t size);
    void RemoveClient(const orvix::Endpoint& from, const char* how);
    void SendFrame(uint32_t frameNumber, double scheduledSeconds);
    void Log(const std::string& line);
    uint64_t TicksAt(double monotonicSeconds) const;
    double Elapsed() const;

    SimOptions options_;
    LogSink log_;
    std::mutex logMutex_;
    orvix::UdpSocket socket_;
    uint16_t commandPort_ = 0;
    uint32_t bindAddress_ = 0;
    uint32_t group_ = 0;
    double startSeconds_ = 0.0;
    std::vector<FrameBody> frameBodies_;
    // Each body draws its own noise; the stream thread's only.
    PoseJitter jitter_;
    PoseJitter rightHandJitter_;
    PoseJitter leftHandJitter_;

    mutable std::mutex clientsMutex_;
    std::vector<Client> clients_;

    std::thread commandThread_;
    std::thread streamThread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    bool started_ = false;

    std::atomic<uint64_t> framesSent_{0};
    std::atomic<uint64_t> datagramsSent_{0};
    std::atomic<uint64_t> clientsServed_{0};
    std::atomic<uint64_t> connectionsRefused_{0};
    std::atomic<uint64_t> commandsAnswered_{0};
    std::atomic<uint64_t> discoveryAnswered_{0};
    std::atomic<uint64_t> malformedReceived_{0};
    std::atomic<double> stopSeconds_{0.0};
};
