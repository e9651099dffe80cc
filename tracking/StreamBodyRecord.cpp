#include "tracking/StreamBodyRecord.h"

#include <algorithm>

void StreamBodyRecord::BeginWatch() noexcept {
    if (watchers_.load() == 0) {
        frames_.store(0);
        futureStamped_.store(0);
        smallIds_.store(0);
        for (std::atomic<int64_t>& slot : otherIds_) {
            slot.store(kEmptySlot);
        }
        moreIds_.store(false);
    }
    watchers_.fetch_add(1);
}

void StreamBodyRecord::EndWatch() noexcept {
    watchers_.fetch_sub(1);
}

void StreamBodyRecord::Record(const sFrameOfMocapData& frame) noexcept {
    frames_.fetch_add(1, std::memory_order_relaxed);
    const int32_t count = std::min(frame.nRigidBodies, kMaxRigidBodies);
    const int32_t scanned = std::min(count, kScannedBodies);
    uint64_t small = 0;
    for (int32_t i = 0; i < scanned; ++i) {
        const int32_t id = frame.rigidBodies[i].id;
        if (id >= 0 && id < 64) {
            small |= uint64_t{1} << id;
        } else {
            RecordOther(id);
        }
    }
    // Most frames carry the bodies of the last: then nothing is written.
    if ((smallIds_.load(std::memory_order_relaxed) & small) != small) {
        smallIds_.fetch_or(small, std::memory_order_relaxed);
    }
    if (count > scanned && !moreIds_.load(std::memory_order_relaxed)) {
        moreIds_.store(true, std::memory_order_relaxed);
    }
}

void StreamBodyRecord::RecordFutureStamped() noexcept {
    if (Watching()) {
        futureStamped_.fetch_add(1, std::memory_order_relaxed);
    }
}

void StreamBodyRecord::RecordOther(int32_t id) noexcept {
    for (std::atomic<int64_t>& slot : otherIds_) {
        int64_t held = slot.load(std::memory_order_relaxed);
        if (held == kEmptySlot &&
            slot.compare_exchange_strong(held, id, std::memory_order_relaxed)) {
            return;
        }
        if (held == id) {
            return;
        }
    }
    moreIds_.store(true, std::memory_order_relaxed);
}

StreamBodyRecord::Seen StreamBodyRecord::Snapshot() const {
    Seen seen;
    seen.frames = frames_.load(std::memory_order_relaxed);
    seen.futureStamped = futureStamped_.load(std::memory_order_relaxed);
    const uint64_t small = smallIds_.load(std::memory_order_relaxed);
    for (int32_t id = 0; id < 64; ++id) {
        if ((small >> id) & 1u) {
            seen.ids.push_back(id);
        }
    }
    for (const std::atomic<int64_t>& slot : otherIds_) {
        const int64_t held = slot.load(std::memory_order_relaxed);
        if (held != kEmptySlot) {
            seen.ids.push_back(static_cast<int32_t>(held));
        }
    }
    std::sort(seen.ids.begin(), seen.ids.end());
    seen.ids.erase(std::unique(seen.ids.begin(), seen.ids.end()), seen.ids.end());
    seen.moreIds = moreIds_.load(std::memory_order_relaxed);
    return seen;
}
