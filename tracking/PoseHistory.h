#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "tracking/SequenceLatch.h"

// One headset pose with the time it was captured and the time its frame arrived, both in seconds
// on the monotonic clock: the capture time places the pose on the head's path, the arrival tells
// how long the stream has been silent since.
struct PoseSample {
    double time = 0.0;
    XrVector3f position{};
    XrQuaternionf orientation{0.0f, 0.0f, 0.0f, 1.0f};
    double arrival = 0.0;
};

// The newest headset poses, for prediction. The frame thread appends; any thread takes a
// consistent copy without waiting for it (SequenceLatch.h): no lock, no allocation, no data race.
class PoseHistory {
public:
    static constexpr size_t kCapacity = 8;

    struct Snapshot {
        std::array<PoseSample, kCapacity> samples{};  // oldest first
        size_t count = 0;
    };

    // The frame thread only. The pause is a test seam (SequenceLatch::Write).
    void Append(const PoseSample& sample, SequenceLatch::Pause pause = nullptr,
                void* context = nullptr);
    // The newest samples as of the last whole append; false when appends overtook every attempt,
    // leaving `snapshot` unusable. The pause is a test seam (SequenceLatch::Read).
    [[nodiscard]] bool Read(Snapshot* snapshot, SequenceLatch::Pause pause = nullptr,
                            void* context = nullptr) const;

private:
    struct AtomicSample {
        std::atomic<double> time{0.0};
        std::atomic<float> px{0.0f}, py{0.0f}, pz{0.0f};
        std::atomic<float> qx{0.0f}, qy{0.0f}, qz{0.0f}, qw{1.0f};
        std::atomic<double> arrival{0.0};
    };
    struct Copy {
        std::array<AtomicSample, kCapacity> ring;
        std::atomic<uint64_t> appended{0};
    };

    std::array<Copy, 2> copies_;
    SequenceLatch latch_;
};
