#pragma once

// Runs the simulated server inside the test process on a port the system chooses, and keeps
// what it logs.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "standins/orvix/OrvixStandin.h"
#include "standins/orvix/UdpSocket.h"
#include "tools/mocap-sim/SimServer.h"

class SimHarness {
public:
    explicit SimHarness(SimOptions options) {
        options.commandPort = 0;
        server_ = std::make_unique<SimServer>(options, [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
        std::string error;
        started_ = server_->Start(&error);
        EXPECT_TRUE(started_) << error;
    }

    // The server logs into this object, so it stops before any member goes.
    ~SimHarness() { server_->Stop(); }

    bool Started() const { return started_; }
    SimServer& Server() { return *server_; }
    uint16_t Port() const { return server_->CommandPort(); }

    bool Logged(const std::string& part) {
        std::lock_guard lock(mutex_);
        for (const std::string& line : lines_) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    sOrvixClientConnectParams Params(int32_t connectionType = 1, uint16_t dataPort = 0) const {
        sOrvixClientConnectParams params{};
        params.connectionType = connectionType;
        params.commandPort = Port();
        params.dataPort = dataPort;
        params.serverAddress = "127.0.0.1";
        params.localAddress = "127.0.0.1";
        params.multicastGroup = nullptr;
        return params;
    }

private:
    std::unique_ptr<SimServer> server_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    bool started_ = false;
};

// Waits up to limit for condition; true when it held.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

// A loopback UDP port that nothing listens on at the moment.
inline uint16_t UnusedPort() {
    orvix::UdpSocket socket;
    orvix::Endpoint local{orvix::kLoopbackAddress, 0};
    if (!socket.Open() || !socket.Bind(local) || !socket.LocalEndpoint(&local)) {
        return 0;
    }
    return local.port;
}

// A loopback UDP port this process holds and never answers on: a client sent there can only meet
// silence, whatever else runs on the machine. It counts what arrives.
class SilentPort {
public:
    SilentPort() {
        orvix::Endpoint local{orvix::kLoopbackAddress, 0};
        if (socket_.Open() && socket_.Bind(local) && socket_.LocalEndpoint(&local)) {
            port_ = local.port;
        }
    }

    // 0 when no port could be held.
    uint16_t Port() const { return port_; }

    // Datagrams waiting now, read without blocking.
    int Received() {
        int count = 0;
        uint8_t buffer[2048];
        orvix::Endpoint from{};
        while (socket_.ReceiveFrom(buffer, sizeof(buffer), 0, &from) > 0) {
            ++count;
        }
        return count;
    }

private:
    orvix::UdpSocket socket_;
    uint16_t port_ = 0;
};
