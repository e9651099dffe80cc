#include "tracking/ViewSpaceSet.h"

uint64_t ViewSpaceSet::Key(XrSpace space) {
    // The layer is 64-bit only, where handles are pointers; null is never a valid handle.
    return reinterpret_cast<uint64_t>(space);
}

bool ViewSpaceSet::Add(XrSpace space) {
    const uint64_t key = Key(space);
    if (key == 0) {
        return false;
    }
    for (std::atomic<uint64_t>& slot : slots_) {
        uint64_t empty = 0;
        if (slot.compare_exchange_strong(empty, key)) {
            return true;
        }
    }
    return false;
}

void ViewSpaceSet::Remove(XrSpace space) {
    const uint64_t key = Key(space);
    for (std::atomic<uint64_t>& slot : slots_) {
        uint64_t expected = key;
        if (key != 0 && slot.compare_exchange_strong(expected, 0)) {
            return;
        }
    }
}

bool ViewSpaceSet::Contains(XrSpace space) const {
    const uint64_t key = Key(space);
    if (key == 0) {
        return false;
    }
    for (const std::atomic<uint64_t>& slot : slots_) {
        if (slot.load(std::memory_order_acquire) == key) {
            return true;
        }
    }
    return false;
}
