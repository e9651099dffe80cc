#include "tracking/RuntimeViewHold.h"

namespace {

// Marks a slot that a frame is using.
constexpr uint64_t kInUse = ~uint64_t{0};

uint64_t Key(XrSpace space) {
    return reinterpret_cast<uint64_t>(space);
}

uint64_t SessionKey(XrSession session) {
    return reinterpret_cast<uint64_t>(session);
}

}  // namespace

RuntimeViewHold::Slot* RuntimeViewHold::Take(uint64_t key, XrTime displayTime) {
    for (Slot& slot : slots_) {
        uint64_t own = key;
        if (slot.handle.compare_exchange_strong(own, kInUse)) {
            return &slot;
        }
    }
    for (Slot& slot : slots_) {
        uint64_t free = 0;
        if (slot.handle.compare_exchange_strong(free, kInUse)) {
            return Started(slot);
        }
    }
    for (Slot& slot : slots_) {
        uint64_t idle = slot.handle.load(std::memory_order_relaxed);
        const XrTime last = slot.lastDisplayTime.load(std::memory_order_relaxed);
        if (idle != 0 && idle != kInUse && displayTime - last > kIdleNanoseconds &&
            slot.handle.compare_exchange_strong(idle, kInUse)) {
            return Started(slot);
        }
    }
    return nullptr;
}

RuntimeViewHold::Slot* RuntimeViewHold::Started(Slot& slot) {
    slot.hasKept = false;
    slot.carried = false;
    slot.tracked = false;
    slot.framesWithout = 0;
    slot.framesSinceSwitch = 0;
    slot.switches = 0;
    return &slot;
}

RuntimeViewHold::Frame RuntimeViewHold::Next(XrSession session, XrSpace space, XrTime displayTime,
                                             bool located, XrPosef (&poses)[2]) {
    const uint64_t key = Key(space);
    Slot* slot = key == 0 || key == kInUse ? nullptr : Take(key, displayTime);
    if (slot == nullptr) {
        return {located ? Views::Runtime : Views::Tracked};
    }
    // Several layers in one space see the same frame: it counts once.
    const bool newFrame =
        !slot->carried || displayTime != slot->lastDisplayTime.load(std::memory_order_relaxed);
    Frame frame{Views::Runtime};
    if (located) {
        slot->kept[0] = poses[0];
        slot->kept[1] = poses[1];
        slot->keptTime = displayTime;
        slot->hasKept = true;
        slot->framesWithout = 0;
    } else {
        slot->framesWithout += newFrame ? 1u : 0u;
        const bool recent = slot->hasKept && displayTime >= slot->keptTime &&
                            displayTime - slot->keptTime <= kHeldNanosecondsAtMost;
        if (!slot->tracked && recent && slot->framesWithout <= kHeldFramesAtMost) {
            poses[0] = slot->kept[0];
            poses[1] = slot->kept[1];
            frame.views = Views::Held;
        } else {
            frame.views = Views::Tracked;
        }
    }
    frame.framesWithout = slot->framesWithout;
    const bool tracked = frame.views == Views::Tracked;
    if (slot->carried && tracked != slot->tracked) {
        frame.switched = true;
        frame.switches = ++slot->switches;
        frame.framesBefore = slot->framesSinceSwitch;
        slot->framesSinceSwitch = 0;
    }
    slot->framesSinceSwitch += newFrame || frame.switched ? 1u : 0u;
    slot->tracked = tracked;
    slot->carried = true;
    slot->lastDisplayTime.store(displayTime, std::memory_order_relaxed);
    slot->session.store(SessionKey(session), std::memory_order_relaxed);
    slot->handle.store(key, std::memory_order_release);
    return frame;
}

template <typename Matches>
void RuntimeViewHold::ForgetWhere(Matches&& matches) {
    for (Slot& slot : slots_) {
        uint64_t handle = slot.handle.load(std::memory_order_acquire);
        // A slot in use is its frame's until the frame ends.
        if (handle != 0 && handle != kInUse && matches(slot, handle)) {
            slot.handle.compare_exchange_strong(handle, 0);
        }
    }
}

void RuntimeViewHold::Forget(XrSpace space) {
    const uint64_t key = Key(space);
    ForgetWhere([key](const Slot&, uint64_t handle) { return handle == key; });
}

void RuntimeViewHold::ForgetSession(XrSession session) {
    const uint64_t key = SessionKey(session);
    ForgetWhere([key](const Slot& slot, uint64_t) {
        return slot.session.load(std::memory_order_relaxed) == key;
    });
}

void RuntimeViewHold::Clear() {
    ForgetWhere([](const Slot&, uint64_t) { return true; });
}
