#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "log/LogLine.h"
#include "log/LogOutput.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"

namespace {

// For the log file alone: standard output keeps the lines it always had. Formatted on the stack,
// as the frame thread allocates nothing.
void LogNonFinitePoses(uint64_t count) {
    constexpr std::string_view kHead = "Headset poses left out for values that are not finite: ";
    constexpr std::string_view kTail = " so far\n";
    std::array<char, kHead.size() + 20 + kTail.size()> line{};
    char* end = std::copy(kHead.begin(), kHead.end(), line.data());
    end = std::to_chars(end, line.data() + line.size(), count).ptr;
    end = std::copy(kTail.begin(), kTail.end(), end);
    WriteLogFileLine(line.data(), static_cast<size_t>(end - line.data()));
}

}  // namespace

void FrameCallback(sFrameOfMocapData* frame, void* context) {
    static_cast<MocapTracker*>(context)->OnFrame(frame);
}

void MocapTracker::OnFrame(const sFrameOfMocapData* frame) {
    // The stream is back: end the discovery that was looking for it. The handle is checked as
    // well as the flag for a frame that arrives before the watchdog has raised the flag.
    if (discoveryActive.load() || discovery.load() != nullptr) {
        const OrvixDiscoveryHandle running = discovery.exchange(nullptr);
        if (running != nullptr) {
            Orvix_FreeAsyncServerDiscovery(running);
        }
        discoveryActive.store(false);
    }

    const double arrival = platform::MonotonicSeconds();
    lastFrameTime.store(arrival);
    if (frame == nullptr) {
        return;
    }
    if (streamBodies.Watching()) {
        streamBodies.Record(*frame);
    }

    // Never read past the record, whatever count the frame claims.
    const int32_t count = std::min(frame->nRigidBodies, kMaxRigidBodies);
    const RigidBodyEntry* headset = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        if (frame->rigidBodies[i].id == hmdRigidBodyId) {
            headset = &frame->rigidBodies[i];
            break;
        }
    }
    if (headset == nullptr) {
        return;
    }

    const OrvixClient* const connection = client.load();
    if (connection == nullptr) {
        return;
    }
    const uint64_t timestamp = frame->cameraMidExposureTimestamp != 0
                                   ? frame->cameraMidExposureTimestamp
                                   : frame->cameraDataReceivedTimestamp;
    // A frame stamped in the future says the clocks disagree; its pose is not trusted.
    const double age = connection->SecondsSinceHostTimestamp(timestamp);
    if (age < 0.0) {
        streamBodies.RecordFutureStamped();
        return;
    }

    // Half a turn about the vertical axis takes the capture frame to the layer's.
    const XrVector3f position{-headset->x, headset->y, -headset->z};
    const XrQuaternionf orientation{-headset->qx, headset->qy, -headset->qz, headset->qw};
    // A pose that is not finite would spoil the heading correction and the prediction for good.
    if (!IsFinitePose(position, orientation)) {
        uint64_t leftOut = 0;
        if (nonFinitePoses.CountOne(arrival, &leftOut)) {
            LogNonFinitePoses(leftOut);
        }
        return;
    }
    // A datagram that a newer one overtook must not take the head back to where it was.
    const double capture = arrival - age;
    if (!headsetCaptureOrder.Take(capture)) {
        return;
    }
    StorePose(position, orientation);
    lastHeadsetFrameTime.store(arrival);
    if (options.predictDisplayTime.load(std::memory_order_relaxed)) {
        // Prediction places poses by their capture times, not by when frames happened to arrive;
        // the arrival says how long the stream has been silent.
        poseHistory.Append({capture, position, orientation, arrival});
    }
    LogLine() << "Setting HMD pos to " << position.x << ", " << position.y << ", " << position.z
              << "\n";
}
