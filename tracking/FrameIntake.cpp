#include <algorithm>

#include "log/LogLine.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"

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
