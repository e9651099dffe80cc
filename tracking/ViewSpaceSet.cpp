#include "tracking/ViewSpaceSet.h"

namespace {

// Marks a slot taken while its pose is written, before the handle is published.
constexpr uint64_t kFilling = ~uint64_t{0};

uint64_t SessionKey(XrSession session) {
    return reinterpret_cast<uint64_t>(session);
}

}  // namespace

uint64_t ViewSpaceSet::Key(XrSpace space) {
    // The layer is 64-bit only, where handles are pointers; null is never a valid handle.
    return reinterpret_cast<uint64_t>(space);
}

void ViewSpaceSet::Fill(Slot& slot, uint64_t key, XrSession session, const XrPosef& poseInHead) {
    slot.session.store(SessionKey(session), std::memory_order_relaxed);
    slot.px.store(poseInHead.position.x, std::memory_order_relaxed);
    slot.py.store(poseInHead.position.y, std::memory_order_relaxed);
    slot.pz.store(poseInHead.position.z, std::memory_order_relaxed);
    slot.qx.store(poseInHead.orientation.x, std::memory_order_relaxed);
    slot.qy.store(poseInHead.orientation.y, std::memory_order_relaxed);
    slot.qz.store(poseInHead.orientation.z, std::memory_order_relaxed);
    slot.qw.store(poseInHead.orientation.w, std::memory_order_relaxed);
    // Every field is an atomic, so there is no data race; the release here, paired with Find's
    // acquire load of the handle, is what makes a reader that sees this key also see this pose
    // rather than the slot's previous one. x86-64 keeps stores in order anyway, so a relaxed
    // store would pass every test there and still be wrong on weaker hardware.
    slot.handle.store(key, std::memory_order_release);
}

bool ViewSpaceSet::Add(XrSpace space, XrSession session, const XrPosef& poseInHead) {
    const uint64_t key = Key(space);
    if (key == 0 || key == kFilling) {
        return false;
    }
    for (Slot& slot : slots_) {
        uint64_t same = key;
        if (slot.handle.compare_exchange_strong(same, kFilling)) {
            Fill(slot, key, session, poseInHead);
            return true;
        }
    }
    for (Slot& slot : slots_) {
        uint64_t empty = 0;
        if (slot.handle.compare_exchange_strong(empty, kFilling)) {
            Fill(slot, key, session, poseInHead);
            return true;
        }
    }
    return false;
}

template <typename Matches>
void ViewSpaceSet::RemoveWhere(Matches&& matches) {
    for (Slot& slot : slots_) {
        uint64_t handle = slot.handle.load(std::memory_order_acquire);
        if (handle != 0 && handle != kFilling && matches(slot, handle)) {
            slot.handle.compare_exchange_strong(handle, 0);
        }
    }
}

void ViewSpaceSet::Remove(XrSpace space) {
    const uint64_t key = Key(space);
    if (key == 0) {
        return;
    }
    RemoveWhere([key](const Slot&, uint64_t handle) { return handle == key; });
}

void ViewSpaceSet::RemoveSession(XrSession session) {
    const uint64_t key = SessionKey(session);
    RemoveWhere([key](const Slot& slot, uint64_t) {
        return slot.session.load(std::memory_order_relaxed) == key;
    });
}

void ViewSpaceSet::Clear() {
    RemoveWhere([](const Slot&, uint64_t) { return true; });
    fullReported_.store(false, std::memory_order_relaxed);
}

bool ViewSpaceSet::TakeFullNotice() {
    return !fullReported_.exchange(true, std::memory_order_relaxed);
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
