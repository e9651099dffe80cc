#include "tracking/ViewSpaceSet.h"

namespace {

// Marks a slot taken while its pose is written, before the handle is published.
constexpr uint64_t kFilling = ~uint64_t{0};

}  // namespace

uint64_t ViewSpaceSet::Key(XrSpace space) {
    // The layer is 64-bit only, where handles are pointers; null is never a valid handle.
    return reinterpret_cast<uint64_t>(space);
}

bool ViewSpaceSet::Add(XrSpace space, const XrPosef& poseInHead) {
    const uint64_t key = Key(space);
    if (key == 0 || key == kFilling) {
        return false;
    }
    for (Slot& slot : slots_) {
        uint64_t empty = 0;
        if (!slot.handle.compare_exchange_strong(empty, kFilling)) {
            continue;
        }
        slot.px.store(poseInHead.position.x, std::memory_order_relaxed);
        slot.py.store(poseInHead.position.y, std::memory_order_relaxed);
        slot.pz.store(poseInHead.position.z, std::memory_order_relaxed);
        slot.qx.store(poseInHead.orientation.x, std::memory_order_relaxed);
        slot.qy.store(poseInHead.orientation.y, std::memory_order_relaxed);
        slot.qz.store(poseInHead.orientation.z, std::memory_order_relaxed);
        slot.qw.store(poseInHead.orientation.w, std::memory_order_relaxed);
        slot.handle.store(key, std::memory_order_release);
        return true;
    }
    return false;
}

void ViewSpaceSet::Remove(XrSpace space) {
    const uint64_t key = Key(space);
    if (key == 0) {
        return;
    }
    for (Slot& slot : slots_) {
        uint64_t expected = key;
        if (slot.handle.compare_exchange_strong(expected, 0)) {
            return;
        }
    }
}

std::optional<XrPosef> ViewSpaceSet::Find(XrSpace space) const {
    const uint64_t key = Key(space);
    if (key == 0) {
        return std::nullopt;
    }
    for (const Slot& slot : slots_) {
        if (slot.handle.load(std::memory_order_acquire) == key) {
            return XrPosef{
                {slot.qx.load(std::memory_order_relaxed), slot.qy.load(std::memory_order_relaxed),
                 slot.qz.load(std::memory_order_relaxed), slot.qw.load(std::memory_order_relaxed)},
                {slot.px.load(std::memory_order_relaxed), slot.py.load(std::memory_order_relaxed),
                 slot.pz.load(std::memory_order_relaxed)}};
        }
    }
    return std::nullopt;
}
