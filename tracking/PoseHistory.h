#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// One headset pose with the time it was captured, in seconds on the monotonic clock.
struct PoseSample {
    double time = 0.0;
    XrVector3f position{};
    XrQuaternionf orientation{0.0f, 0.0f, 0.0f, 1.0f};
};

// The newest headset poses, for prediction. The frame thread appends; any thread takes a
// consistent copy. Like the pose store, a sequence counter over atomic fields: no lock, no
// allocation, no data race.
class PoseHistory {
public:
    static constexpr size_t kCapacity = 8;

    struct Snapshot {
        std::array<PoseSample, kCapacity> samples{};  // oldest first
        size_t count = 0;
    };

    // The frame thread only.
    void Append(const PoseSample& sample);
    Snapshot Read() const;

private:
    struct AtomicSample {
        std::atomic<double> time{0.0};
        std::atomic<float> px{0.0f}, py{0.0f}, pz{0.0f};
        std::atomic<float> qx{0.0f}, qy{0.0f}, qz{0.0f}, qw{1.0f};
    };

    std::array<AtomicSample, kCapacity> ring_;
    std::atomic<uint64_t> appended_{0};
    std::atomic<uint32_t> sequence_{0};  // odd while the frame thread writes
};
