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

void ViewSpaceSet::Fill(Slot& slot, uint64_t key, XrSession session, const XrPosef& poseInHead,
                        Pause pause, void* context) {
    const uint32_t version = slot.version.load(std::memory_order_relaxed);
    slot.version.store(version + 1, std::memory_order_relaxed);
    // Released, so that a reader that sees any of these values also sees the odd version before
    // them and knows its read was overtaken (Find). Every field is an atomic: no data race.
    slot.session.store(SessionKey(session), std::memory_order_release);
    slot.px.store(poseInHead.position.x, std::memory_order_release);
    slot.py.store(poseInHead.position.y, std::memory_order_release);
    slot.pz.store(poseInHead.position.z, std::memory_order_release);
    slot.qx.store(poseInHead.orientation.x, std::memory_order_release);
    slot.qy.store(poseInHead.orientation.y, std::memory_order_release);
    slot.qz.store(poseInHead.orientation.z, std::memory_order_release);
    slot.qw.store(poseInHead.orientation.w, std::memory_order_release);
    if (pause != nullptr) {
        pause(context);
    }
    slot.version.store(version + 2, std::memory_order_release);
    // The release here, paired with Find's acquire load of the handle, is what makes a reader that
    // sees this key also see this pose rather than the slot's previous one. x86-64 keeps stores in
    // order anyway, so a relaxed store would pass every test there and still be wrong on weaker
    // hardware.
    slot.handle.store(key, std::memory_order_release);
}

bool ViewSpaceSet::AddTo(Table& table, XrSpace space, XrSession session, const XrPosef& poseInHead,
                         Pause pause, void* context) {
    const uint64_t key = Key(space);
    if (key == 0 || key == kFilling) {
        return false;
    }
    for (Slot& slot : table) {
        uint64_t same = key;
        if (slot.handle.compare_exchange_strong(same, kFilling)) {
            Fill(slot, key, session, poseInHead, pause, context);
            return true;
        }
    }
    for (Slot& slot : table) {
        uint64_t empty = 0;
        if (slot.handle.compare_exchange_strong(empty, kFilling)) {
            Fill(slot, key, session, poseInHead, pause, context);
            return true;
        }
    }
    return false;
}

bool ViewSpaceSet::Add(XrSpace space, XrSession session, const XrPosef& poseInHead, Pause pause,
                       void* context) {
    return AddTo(views_, space, session, poseInHead, pause, context);
}

bool ViewSpaceSet::AddWorldSpace(XrSpace space, XrSession session) {
    return AddTo(worldSpaces_, space, session, XrPosef{{0.0f, 0.0f, 0.0f, 1.0f}, {}}, nullptr,
                 nullptr);
}

template <typename Matches>
void ViewSpaceSet::RemoveWhere(Matches&& matches) {
    for (Table* table : {&views_, &worldSpaces_}) {
        for (Slot& slot : *table) {
            uint64_t handle = slot.handle.load(std::memory_order_acquire);
            // A slot still filling belongs to its Add until published: freed now, it could be
            // claimed and filled by two threads at once.
            if (handle != 0 && handle != kFilling && matches(slot, handle)) {
                slot.handle.compare_exchange_strong(handle, 0);
            }
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
        return slot.session.load(std::memory_order_acquire) == key;
    });
}

void ViewSpaceSet::Clear() {
    RemoveWhere([](const Slot&, uint64_t) { return true; });
    fullReported_.store(false, std::memory_order_relaxed);
    worldFullReported_.store(false, std::memory_order_relaxed);
}

bool ViewSpaceSet::TakeFullNotice() {
    return !fullReported_.exchange(true, std::memory_order_relaxed);
}

bool ViewSpaceSet::TakeWorldFullNotice() {
    return !worldFullReported_.exchange(true, std::memory_order_relaxed);
}

bool ViewSpaceSet::HoldsWorldSpace(XrSpace space) const {
    const uint64_t key = Key(space);
    if (key == 0) {
        return false;
    }
    for (const Slot& slot : worldSpaces_) {
        if (slot.handle.load(std::memory_order_relaxed) == key) {
            return true;
        }
    }
    return false;
}

std::optional<XrPosef> ViewSpaceSet::Find(XrSpace space, Pause pause, void* context) const {
    const uint64_t key = Key(space);
    if (key == 0) {
        return std::nullopt;
    }
    for (const Slot& slot : views_) {
        if (slot.handle.load(std::memory_order_acquire) != key) {
            continue;
        }
        // The slot may be freed and filled again, for this handle or another, while it is read:
        // the pose counts only when neither the version nor the handle moved meanwhile.
        for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
            const uint32_t version = slot.version.load(std::memory_order_acquire);
            if (slot.handle.load(std::memory_order_acquire) != key) {
                return std::nullopt;
            }
            XrPosef pose;
            pose.position = {slot.px.load(std::memory_order_acquire),
                             slot.py.load(std::memory_order_acquire),
                             slot.pz.load(std::memory_order_acquire)};
            if (pause != nullptr) {
                pause(context);
            }
            pose.orientation = {
                slot.qx.load(std::memory_order_acquire), slot.qy.load(std::memory_order_acquire),
                slot.qz.load(std::memory_order_acquire), slot.qw.load(std::memory_order_acquire)};
            // The acquire loads of the pose keep these two after them.
            if ((version & 1u) == 0 && slot.version.load(std::memory_order_relaxed) == version &&
                slot.handle.load(std::memory_order_relaxed) == key) {
                return pose;
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}
