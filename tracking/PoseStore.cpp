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
