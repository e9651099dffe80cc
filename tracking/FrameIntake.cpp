#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
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

// A body the frame intake fills, and its entry in the frame being taken in.
struct BodyEntry {
    TrackedBody* body;
    const RigidBodyEntry* entry = nullptr;
};

// Finds every body's entry in one pass over the frame's rigid bodies, never reading past the
// record whatever count the frame claims: a body's entry is the first with its id. Returns whether
// any body has one.
template <size_t N>
bool FindEntries(const sFrameOfMocapData& frame, std::array<BodyEntry, N>& bodies) {
    const int32_t count = std::min(frame.nRigidBodies, kMaxRigidBodies);
    size_t found = 0;
    for (int32_t i = 0; i < count && found < N; ++i) {
        const RigidBodyEntry& entry = frame.rigidBodies[i];
        for (BodyEntry& body : bodies) {
            if (body.entry == nullptr && entry.id == body.body->id) {
                body.entry = &entry;
                ++found;
            }
        }
    }
    return found > 0;
}

// Takes the body's pose from its entry, captured and arrived at the given times; false when it is
// left out. The pose comes out in the layer's frame.
bool TakePose(TrackedBody& body, const RigidBodyEntry& entry, double capture, double arrival,
              bool keepHistory, XrVector3f* taken) {
    // Half a turn about the vertical axis takes the capture frame to the layer's.
    const XrVector3f position{-entry.x, entry.y, -entry.z};
    const XrQuaternionf orientation{-entry.qx, entry.qy, -entry.qz, entry.qw};
    // A pose that is not finite would spoil the heading correction and the prediction for good.
    if (!IsFinitePose(position, orientation)) {
        uint64_t leftOut = 0;
        if (body.nonFinitePoses.CountOne(arrival, &leftOut)) {
            LogNonFinitePoses(leftOut);
        }
        return false;
    }
    // A datagram that a newer one overtook must not take the body back to where it was.
    if (!body.captureOrder.Take(capture)) {
        return false;
    }
    body.poses.Store(position, orientation);
    body.newestFrameTime.store(arrival);
    if (keepHistory) {
        // Prediction places poses by their capture times, not by when frames happened to arrive;
        // the arrival says how long the stream has been silent.
        body.history.Append({capture, position, orientation, arrival});
    }
    *taken = position;
    return true;
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

    // Only the headset's body is filled so far.
    std::array<BodyEntry, 1> bodies{{{&headset}}};
    if (!FindEntries(*frame, bodies)) {
        return;
    }

    const OrvixClient* const connection = client.load();
    if (connection == nullptr) {
        return;
    }
    const uint64_t timestamp = frame->cameraMidExposureTimestamp != 0
                                   ? frame->cameraMidExposureTimestamp
                                   : frame->cameraDataReceivedTimestamp;
    // A frame stamped in the future says the clocks disagree; its poses are not trusted.
    const double age = connection->SecondsSinceHostTimestamp(timestamp);
    if (age < 0.0) {
        streamBodies.RecordFutureStamped();
        return;
    }

    const double capture = arrival - age;
    const bool keepHistory = options.predictDisplayTime.load(std::memory_order_relaxed);
    const BodyEntry& headsetEntry = bodies[0];
    XrVector3f position{};
    if (TakePose(*headsetEntry.body, *headsetEntry.entry, capture, arrival, keepHistory,
                 &position)) {
        LogLine() << "Setting HMD pos to " << position.x << ", " << position.y << ", " << position.z
                  << "\n";
    }
}
