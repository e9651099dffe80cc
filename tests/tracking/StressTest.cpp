#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "ScriptedOrvix.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"

namespace {

constexpr auto kRunTime = std::chrono::seconds(3);
constexpr auto kLongestRunTime = std::chrono::seconds(30);
constexpr uint64_t kEnoughFrames = 1000;
constexpr int32_t kHeadsetId = 7;

// Frame n carries n in every component, so a reader can tell a pose mixed from two frames.
void FillFrame(sFrameOfMocapData& frame, uint64_t n) {
    const auto value = static_cast<float>(n % (1u << 24));  // exact in a float
    frame.nRigidBodies = 1;
    frame.rigidBodies[0] =
        RigidBodyEntry{kHeadsetId, value, value, value, value, value, value, value, 0.0f, 0};
    frame.cameraMidExposureTimestamp = n + 1;
}

struct ReaderResult {
    uint64_t reads = 0;
    uint64_t mixed = 0;
    uint64_t backwards = 0;
};

void ReadUntil(const MocapTracker& tracker, const std::atomic<bool>& done, ReaderResult& result) {
    float previous = 0.0f;
    while (!done.load(std::memory_order_relaxed)) {
        const HmdPose pose = tracker.ReadPose();
        ++result.reads;
        if (!pose.valid) {
            continue;
        }
        const float n = pose.orientation.w;
        // Stored as (-x, y, -z) and (-qx, qy, -qz, qw).
        if (-pose.position.x != n || pose.position.y != n || -pose.position.z != n ||
            -pose.orientation.x != n || pose.orientation.y != n || -pose.orientation.z != n) {
            ++result.mixed;
        }
        if (n < previous) {
            ++result.backwards;
        }
        previous = n;
    }
}

TEST(TrackerStress, PoseReadsStayWholeWhileConnectionsComeAndGo) {
    scripted::Reset(scripted::Script{});
    scripted::SetRecording(false);  // the record's lock would hide races between our threads
    scripted::StartStreaming(FillFrame);
    scripted::SetAutoAnnounce(scripted::MakeServer("127.0.0.9", "127.0.0.1", false));

    // The frame thread prints a line per frame; keep the run's output out of the test log.
    testing::internal::CaptureStdout();
    {
        MocapTracker tracker;
        tracker.headset.id = kHeadsetId;
        tracker.connectParams.connectionType = 1;  // unicast: the reset commands run each time

        std::atomic<bool> done{false};
        ReaderResult readers[2];
        std::thread readerThreads[2];
        for (int i = 0; i < 2; ++i) {
            readerThreads[i] =
                std::thread(ReadUntil, std::cref(tracker), std::cref(done), std::ref(readers[i]));
        }

        // The watchdog's passes on a thread of their own, a short period apart; every
        // twentieth pass sees the stream ten seconds older than it is, which forces a
        // disconnect and a new discovery.
        uint64_t passes = 0;
        uint64_t staleRestarts = 0;
        std::thread watchdog([&] {
            while (!done.load()) {
                const bool forceStale = (++passes % 20) == 0;
                const bool streaming =
                    tracker.client.load() != nullptr && !tracker.discoveryActive.load();
                tracker.WatchdogPass(platform::MonotonicSeconds() + (forceStale ? 10.0 : 0.0));
                if (forceStale && streaming) {
                    ++staleRestarts;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });

        // At least the run time, and on a slow machine (a sanitizer, other jobs) on until enough
        // frames have streamed through the reconnections, within a bound.
        const uint64_t framesBefore = scripted::StreamedFrames();
        const auto started = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(kRunTime);
        while (scripted::StreamedFrames() - framesBefore < kEnoughFrames &&
               std::chrono::steady_clock::now() - started < kLongestRunTime) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const auto ran = std::chrono::steady_clock::now() - started;
        done.store(true);
        for (auto& reader : readerThreads) {
            reader.join();
        }
        watchdog.join();
        const uint64_t frames = scripted::StreamedFrames() - framesBefore;

        scripted::StopStreaming();
        scripted::SetAutoAnnounce(std::nullopt);
        if (const auto handle = tracker.discovery.exchange(nullptr)) {
            Orvix_FreeAsyncServerDiscovery(handle);
        }
        tracker.DisconnectFromServer();
        const auto output = testing::internal::GetCapturedStdout();

        std::printf("frames %llu (%.0f per second), stale restarts %llu, reads %llu + %llu\n",
                    static_cast<unsigned long long>(frames),
                    static_cast<double>(frames) / std::chrono::duration<double>(ran).count(),
                    static_cast<unsigned long long>(staleRestarts),
                    static_cast<unsigned long long>(readers[0].reads),
                    static_cast<unsigned long long>(readers[1].reads));
        for (const auto& reader : readers) {
            EXPECT_EQ(reader.mixed, 0u);
            EXPECT_EQ(reader.backwards, 0u);
            EXPECT_GT(reader.reads, 0u);
        }
        EXPECT_GE(staleRestarts, 3u);
        EXPECT_GE(frames, kEnoughFrames);
        EXPECT_NE(output.find("Setting HMD pos to"), std::string::npos);
    }
    EXPECT_EQ(scripted::LiveClients(), 0);
    EXPECT_EQ(scripted::LiveDiscoveries(), 0);
}

}  // namespace
