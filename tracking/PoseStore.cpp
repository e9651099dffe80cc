#include <atomic>

#include "tracking/MocapTracker.h"

// A sequence counter over atomic components: the frame thread is the only writer once the
// tracker has started, so the counter is odd exactly while a write is in progress and a reader
// that saw the same even value before and after its copy has one frame's pose. The components
// are stored with release and loaded with acquire (see PoseStore.h), which orders them against
// the counter without fences.

namespace {

template <typename WriteComponents>
void WriteSection(std::atomic<uint32_t>& sequence, WriteComponents write) {
    const uint32_t start = sequence.load(std::memory_order_relaxed);
    // Each component's release store publishes this odd value to a reader that sees it.
    sequence.store(start + 1, std::memory_order_relaxed);
    write();
    sequence.store(start + 2, std::memory_order_release);
}

}  // namespace

HmdPose MocapTracker::ReadPose() const {
    for (;;) {
        const uint32_t before = poseSequence.load(std::memory_order_acquire);
        if ((before & 1u) != 0) {
            continue;
        }
        const HmdPose pose{hmdPosition.Load(), hmdOrientation.Load(),
                           hmdPoseValid.load(std::memory_order_acquire)};
        // The acquire loads above keep this load after them.
        if (poseSequence.load(std::memory_order_relaxed) == before) {
            return pose;
        }
    }
}

void MocapTracker::StorePose(const XrVector3f& position, const XrQuaternionf& orientation) {
    WriteSection(poseSequence, [&] {
        hmdPosition.Store(position);
        hmdOrientation.Store(orientation);
        hmdPoseValid.store(true, std::memory_order_release);
    });
}

void MocapTracker::SetPoseValid(bool valid) {
    WriteSection(poseSequence, [&] { hmdPoseValid.store(valid, std::memory_order_release); });
}
