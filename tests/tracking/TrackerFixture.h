#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "ScriptedOrvix.h"
#include "TestSupport.h"
#include "tracking/MocapTracker.h"

// Runs body with standard output captured and returns what it printed.
inline std::string CapturedOutput(const std::function<void()>& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

// One tracker per test, a fresh script, and a configuration directory of its own named by the
// variable. Teardown stops everything the tracker started and checks nothing was left alive.
class TrackerTest : public testing::Test {
protected:
    void SetUp() override {
        scripted::Reset(scripted::Script{});
        directory_ = MakeTemporaryDirectory();
        SetVariable("TARVEX_OPENXR_CONFIG", directory_.string().c_str());
        tracker_ = std::make_unique<MocapTracker>();
    }

    void TearDown() override {
        StopTracker();
        SetVariable("TARVEX_OPENXR_CONFIG", nullptr);
        RemoveTemporaryDirectory(directory_);
        scripted::Reset(scripted::Script{});
        EXPECT_EQ(scripted::LiveClients(), 0);
        EXPECT_EQ(scripted::LiveDiscoveries(), 0);
    }

    void StopTracker() {
        if (!tracker_) {
            return;
        }
        scripted::StopStreaming();
        scripted::SetAutoAnnounce(std::nullopt);
        tracker_->watchdogStop.store(true);
        if (tracker_->watchdogThread.joinable()) {
            tracker_->watchdogThread.join();
        }
        // Discovery first: its thread may still connect while it runs.
        if (const auto handle = tracker_->discovery.exchange(nullptr)) {
            Orvix_FreeAsyncServerDiscovery(handle);
        }
        CapturedOutput([&] { tracker_->DisconnectFromServer(); });
        tracker_.reset();
    }

    void WriteConfig(const std::string& text) {
        std::ofstream(directory_ / "TarvexOpenXRConfig.ini") << text;
    }

    // A tracker with the settings a start-up would leave, without starting anything.
    void Configure(int32_t connectionType) {
        tracker_->headset.id = 7;
        tracker_->connectParams.connectionType = connectionType;
    }

    static sOrvixClientConnectParams Params(int32_t connectionType) {
        sOrvixClientConnectParams params{};
        params.connectionType = connectionType;
        params.commandPort = 1510;
        params.dataPort = 1511;
        params.serverAddress = "127.0.0.2";
        params.localAddress = "127.0.0.1";
        params.multicastGroup = "239.255.60.60";
        return params;
    }

    // Connects with the settings' own record, output discarded.
    void Connect(int32_t connectionType) {
        Configure(connectionType);
        const auto params = Params(connectionType);
        bool connected = false;
        CapturedOutput([&] { connected = tracker_->ConnectToServer(params); });
        ASSERT_TRUE(connected);
        scripted::ClearCalls();
    }

    std::filesystem::path directory_;
    std::unique_ptr<MocapTracker> tracker_;
};

// The calls a successful connection makes before any subscription command.
inline std::vector<std::string> ConnectionOpening(const std::string& connectCall) {
    return {"OrvixClient()", "Disconnect()", connectCall, "GetServerDescription"};
}
