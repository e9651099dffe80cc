#pragma once

// What the check keeps of the frames it receives: counts, ids, the headset's last pose as the
// layer would store it, and the latency the layer would compute.

#include <cstdint>
#include <mutex>
#include <set>

#include "tracking/OrvixLib.h"

struct CaptureSummary {
    uint64_t frames = 0;
    double firstFrameSeconds = 0.0;
    double lastFrameSeconds = 0.0;
    // The longest silence between two frames, and when it began.
    double longestGapSeconds = 0.0;
    double longestGapStartSeconds = 0.0;
    std::set<int32_t> rigidBodyIds;
    uint64_t headsetFrames = 0;
    bool havePose = false;
    float position[3] = {0.0f, 0.0f, 0.0f};           // stored: (-x, y, -z)
    float orientation[4] = {0.0f, 0.0f, 0.0f, 1.0f};  // stored: (-qx, qy, -qz, qw)
    uint64_t latencyCount = 0;                        // frames with a non-negative latency
    uint64_t negativeLatencies = 0;                   // frames the layer would drop
    double latencySumSeconds = 0.0;
    double latencyMaxSeconds = 0.0;

    // Frames per second between the first and the last frame, the time frames flowed; 0 with
    // fewer than two frames.
    double FrameRate() const;
    // The silence that counts as a stop or a pause at this rate: many frames' worth, and never
    // less than half a second, so that a busy computer's hiccup is not taken for one.
    double SilenceThresholdSeconds() const;
};

class FrameCapture {
public:
    FrameCapture(const OrvixClient& client, int32_t headsetId)
        : client_(client), headsetId_(headsetId) {}

    // Runs on the client library's frame thread.
    void OnFrame(const sFrameOfMocapData& frame, double nowSeconds);

    CaptureSummary Summary() const;

private:
    const OrvixClient& client_;
    const int32_t headsetId_;
    mutable std::mutex mutex_;
    CaptureSummary summary_;
};

// The frame callback registered with the client library; the context is a FrameCapture.
void CaptureFrameCallback(sFrameOfMocapData* frame, void* context);
