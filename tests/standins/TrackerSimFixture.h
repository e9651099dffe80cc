#pragma once

// A tracker against the simulated server through the stand-in client library, with a
// configuration directory of its own; teardown stops everything the tracker started.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "SimHarness.h"
#include "TestSupport.h"
#include "tracking/MocapTracker.h"

// The simulator's headset: (-1, 1.5, -2) turned +30° about its vertical axis.
inline constexpr MocapPose kSimHeadset{-1.0f, 1.5f, -2.0f, 0.0f, 0.2588190f, 0.0f, 0.9659258f};

class TrackerSimFixture : public testing::Test {
protected:
    void SetUp() override {
        directory = MakeTemporaryDirectory();
        SetVariable("TARVEX_OPENXR_CONFIG", directory.string().c_str());
        settings.values["serveraddress"] = "127.0.0.1";
        // A string rather than the bare literal: GCC 12 at -O3 warns falsely (-Wrestrict) there.
        settings.values["hmdrbid"] = std::string("1");
    }

    void TearDown() override {
        // Everything the start-up left running ends before the tracker goes.
        tracker.watchdogStop = true;
        if (tracker.watchdogThread.joinable()) {
            tracker.watchdogThread.join();
        }
        testing::internal::CaptureStdout();
        tracker.DisconnectFromServer();
        if (OrvixDiscoveryHandle running = tracker.discovery.exchange(nullptr)) {
            Orvix_FreeAsyncServerDiscovery(running);
        }
        testing::internal::GetCapturedStdout();
        server.reset();
        SetVariable("TARVEX_OPENXR_CONFIG", nullptr);
        RemoveTemporaryDirectory(directory);
    }

    static SimOptions FixedHeadset() {
        SimOptions options;
        options.path.kind = MocapPathKind::kFixed;
        options.path.fixedPose = kSimHeadset;
        return options;
    }

    void ExpectStoredHeadset() {
        ASSERT_TRUE(WaitFor([&] { return tracker.ReadPose().valid; })) << "no pose arrived";
        const HmdPose pose = tracker.ReadPose();
        EXPECT_NEAR(pose.position.x, 1.0f, 1e-6f);
        EXPECT_NEAR(pose.position.y, 1.5f, 1e-6f);
        EXPECT_NEAR(pose.position.z, 2.0f, 1e-6f);
        EXPECT_NEAR(pose.orientation.y, 0.2588190f, 1e-6f);
        EXPECT_NEAR(pose.orientation.w, 0.9659258f, 1e-6f);
        // The frame thread logs a pose after storing it; the next frame starts only once that
        // line is out.
        const double stored = tracker.lastFrameTime.load();
        EXPECT_TRUE(WaitFor([&] { return tracker.lastFrameTime.load() != stored; }));
    }

    std::filesystem::path directory;
    SettingsFile settings;
    std::unique_ptr<SimServer> server;
    MocapTracker tracker;
};

// Lines from the start of the start-up up to the first frame's line.
inline std::string StartupLines(const std::string& output) {
    return output.substr(0, output.find("Setting HMD pos to"));
}

inline const std::string kUnicastStartupLines =
    "Initializing Orvix in unicast, server: 127.0.0.1, client: 127.0.0.1, rigid body ID: 1\n"
    "Connected...\n"
    "Received server descriptions...\n"
    "Orvix subscriptions successfully reset\n"
    "Updating subscriptions\n";
