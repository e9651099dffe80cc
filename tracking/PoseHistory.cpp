#include "tracking/PoseHistory.h"

namespace {

constexpr auto kRelease = std::memory_order_release;
constexpr auto kAcquire = std::memory_order_acquire;

}  // namespace

void PoseHistory::Append(const PoseSample& sample) {
    const uint32_t start = sequence_.load(std::memory_order_relaxed);
    sequence_.store(start + 1, std::memory_order_relaxed);
    const uint64_t index = appended_.load(std::memory_order_relaxed);
    AtomicSample& slot = ring_[index % kCapacity];
    slot.time.store(sample.time, kRelease);
    slot.px.store(sample.position.x, kRelease);
    slot.py.store(sample.position.y, kRelease);
    slot.pz.store(sample.position.z, kRelease);
    slot.qx.store(sample.orientation.x, kRelease);
    slot.qy.store(sample.orientation.y, kRelease);
    slot.qz.store(sample.orientation.z, kRelease);
    slot.qw.store(sample.orientation.w, kRelease);
    appended_.store(index + 1, kRelease);
    sequence_.store(start + 2, kRelease);
}

PoseHistory::Snapshot PoseHistory::Read() const {
    Snapshot snapshot;
    for (;;) {
        const uint32_t before = sequence_.load(kAcquire);
        if ((before & 1u) != 0) {
            continue;
        }
        const uint64_t appended = appended_.load(kAcquire);
        snapshot.count = appended < kCapacity ? static_cast<size_t>(appended) : kCapacity;
        for (size_t i = 0; i < snapshot.count; ++i) {
            const AtomicSample& slot = ring_[(appended - snapshot.count + i) % kCapacity];
            PoseSample& sample = snapshot.samples[i];
            sample.time = slot.time.load(kAcquire);
            sample.position = {slot.px.load(kAcquire), slot.py.load(kAcquire),
                               slot.pz.load(kAcquire)};
            sample.orientation = {slot.qx.load(kAcquire), slot.qy.load(kAcquire),
                                  slot.qz.load(kAcquire), slot.qw.load(kAcquire)};
        }
        if (sequence_.load(std::memory_order_relaxed) == before) {
            return snapshot;
        }
    }
}
