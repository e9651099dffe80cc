#include "tracking/PoseHistory.h"

namespace {

constexpr auto kRelease = std::memory_order_release;
constexpr auto kAcquire = std::memory_order_acquire;

}  // namespace

void PoseHistory::Append(const PoseSample& sample, SequenceLatch::Pause pause, void* context) {
    latch_.Write(
        [&](size_t index) {
            Copy& copy = copies_[index];
            const uint64_t appended = copy.appended.load(std::memory_order_relaxed);
            AtomicSample& slot = copy.ring[appended % kCapacity];
            slot.time.store(sample.time, kRelease);
            slot.px.store(sample.position.x, kRelease);
            slot.py.store(sample.position.y, kRelease);
            slot.pz.store(sample.position.z, kRelease);
            slot.qx.store(sample.orientation.x, kRelease);
            slot.qy.store(sample.orientation.y, kRelease);
            slot.qz.store(sample.orientation.z, kRelease);
            slot.qw.store(sample.orientation.w, kRelease);
            slot.arrival.store(sample.arrival, kRelease);
            copy.appended.store(appended + 1, kRelease);
        },
        pause, context);
}

bool PoseHistory::Read(Snapshot* snapshot, SequenceLatch::Pause pause, void* context) const {
    return latch_.Read(
        [&](size_t index) {
            const Copy& copy = copies_[index];
            const uint64_t appended = copy.appended.load(kAcquire);
            snapshot->count = appended < kCapacity ? static_cast<size_t>(appended) : kCapacity;
            for (size_t i = 0; i < snapshot->count; ++i) {
                const AtomicSample& slot = copy.ring[(appended - snapshot->count + i) % kCapacity];
                PoseSample& sample = snapshot->samples[i];
                sample.time = slot.time.load(kAcquire);
                sample.position = {slot.px.load(kAcquire), slot.py.load(kAcquire),
                                   slot.pz.load(kAcquire)};
                sample.orientation = {slot.qx.load(kAcquire), slot.qy.load(kAcquire),
                                      slot.qz.load(kAcquire), slot.qw.load(kAcquire)};
                sample.arrival = slot.arrival.load(kAcquire);
            }
        },
        pause, context);
}
