#include "tracking/PoseStore.h"

void PoseStore::Store(const XrVector3f& position, const XrQuaternionf& orientation,
                      SequenceLatch::Pause pause, void* context) {
    latch_.Write(
        [&](size_t index) {
            Copy& copy = copies_[index];
            copy.position.Store(position);
            copy.orientation.Store(orientation);
            copy.valid.store(true, std::memory_order_release);
        },
        pause, context);
}

void PoseStore::SetValid(bool valid) {
    latch_.Write(
        [&](size_t index) { copies_[index].valid.store(valid, std::memory_order_release); });
}

bool PoseStore::Read(HmdPose* pose, SequenceLatch::Pause pause, void* context) const {
    if (pause == nullptr) {
        pause = readPause_;
        context = readPauseContext_;
    }
    return latch_.Read(
        [&](size_t index) {
            const Copy& copy = copies_[index];
            *pose = {copy.position.Load(), copy.orientation.Load(),
                     copy.valid.load(std::memory_order_acquire)};
        },
        pause, context);
}

void PoseStore::SetReadPause(SequenceLatch::Pause pause, void* context) {
    readPause_ = pause;
    readPauseContext_ = context;
}

namespace {

// Reads of the store a pose read may take when frames overtake them. Each costs a few loads, so
// even this many stay well under a microsecond; frames overtake a read only while its thread is
// preempted, and rarely twice in a row.
constexpr int kPoseReadRounds = 16;

}  // namespace

HmdPose PoseStore::ReadNewest() const {
    // A read the frames overtook is taken again, so that a stored pose is not given as none; only
    // one overtaken every time within the bound gives none, as before the first frame.
    for (int round = 0; round < kPoseReadRounds; ++round) {
        HmdPose pose{};
        if (Read(&pose)) {
            return pose;
        }
    }
    return HmdPose{};
}
