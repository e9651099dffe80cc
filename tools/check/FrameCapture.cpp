#include "tools/check/FrameCapture.h"

#include <algorithm>

#include "platform/Platform.h"

// Ids beyond this many are not collected: the report names ids, it does not list thousands.
constexpr size_t kMaxIdsKept = 256;

double CaptureSummary::FrameRate() const {
    const double span = lastFrameSeconds - firstFrameSeconds;
    return frames >= 2 && span > 0.0 ? static_cast<double>(frames - 1) / span : 0.0;
}

double CaptureSummary::SilenceThresholdSeconds() const {
    constexpr double kMinimumSilenceSeconds = 0.5;
    constexpr double kFramesOfSilence = 20.0;
    const double rate = FrameRate();
    return rate > 0.0 ? std::max(kMinimumSilenceSeconds, kFramesOfSilence / rate)
                      : kMinimumSilenceSeconds;
}

void FrameCapture::OnFrame(const sFrameOfMocapData& frame, double nowSeconds) {
    std::lock_guard lock(mutex_);
    if (summary_.frames == 0) {
        summary_.firstFrameSeconds = nowSeconds;
    } else if (nowSeconds - summary_.lastFrameSeconds > summary_.longestGapSeconds) {
        summary_.longestGapSeconds = nowSeconds - summary_.lastFrameSeconds;
        summary_.longestGapStartSeconds = summary_.lastFrameSeconds;
    }
    ++summary_.frames;
    summary_.lastFrameSeconds = nowSeconds;

    const int32_t count = std::min(frame.nRigidBodies, kMaxRigidBodies);
    const RigidBodyEntry* headset = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        const RigidBodyEntry& body = frame.rigidBodies[i];
        if (summary_.rigidBodyIds.size() < kMaxIdsKept) {
            summary_.rigidBodyIds.insert(body.id);
        }
        if (headset == nullptr && body.id == headsetId_) {
            headset = &body;
        }
    }
    if (headset == nullptr) {
        return;
    }
    ++summary_.headsetFrames;
    // The same timestamp and rule as the layer: a frame from the future is dropped.
    const uint64_t stamp = frame.cameraMidExposureTimestamp != 0
                               ? frame.cameraMidExposureTimestamp
                               : frame.cameraDataReceivedTimestamp;
    const double latency = client_.SecondsSinceHostTimestamp(stamp);
    if (latency < 0.0) {
        ++summary_.negativeLatencies;
        return;
    }
    ++summary_.latencyCount;
    summary_.latencySumSeconds += latency;
    summary_.latencyMaxSeconds = std::max(summary_.latencyMaxSeconds, latency);
    // Half a turn about the vertical axis, as the layer stores it.
    summary_.position[0] = -headset->x;
    summary_.position[1] = headset->y;
    summary_.position[2] = -headset->z;
    summary_.orientation[0] = -headset->qx;
    summary_.orientation[1] = headset->qy;
    summary_.orientation[2] = -headset->qz;
    summary_.orientation[3] = headset->qw;
    summary_.havePose = true;
}

CaptureSummary FrameCapture::Summary() const {
    std::lock_guard lock(mutex_);
    return summary_;
}

void CaptureFrameCallback(sFrameOfMocapData* frame, void* context) {
    static_cast<FrameCapture*>(context)->OnFrame(*frame, platform::MonotonicSeconds());
}
