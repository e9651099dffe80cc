#include "log/LogQueue.h"

#include <cstring>

LogQueue::LogQueue() noexcept {
    for (size_t i = 0; i < kSlots; ++i) {
        slots_[i].sequence.store(i, std::memory_order_relaxed);
    }
}

void LogQueue::Push(const char* data, size_t size, const LineStamp& stamp) noexcept {
    if (size == 0) {
        return;
    }
    const size_t pieces = (size + kSlotText - 1) / kSlotText;
    size_t position = 0;
    if (pieces > kSlots || !Reserve(pieces, &position)) {
        dropped_.fetch_add(pieces, std::memory_order_relaxed);
        return;
    }
    for (size_t i = 0; i < pieces; ++i) {
        const size_t piece = size < kSlotText ? size : kSlotText;
        Slot& slot = slots_[(position + i) & (kSlots - 1)];
        std::memcpy(slot.text, data, piece);
        slot.size = piece;
        slot.stamp = {stamp.wallNanoseconds, i + 1 == pieces ? stamp.leftOut : 0};
        slot.sequence.store(position + i + 1, std::memory_order_release);
        data += piece;
        size -= piece;
    }
}

bool LogQueue::Reserve(size_t count, size_t* first) noexcept {
    size_t position = enqueue_.load(std::memory_order_relaxed);
    for (;;) {
        // How far each slot's sequence is ahead of the position it would take: zero when free.
        std::ptrdiff_t lead = 0;
        for (size_t i = 0; i < count && lead == 0; ++i) {
            const Slot& slot = slots_[(position + i) & (kSlots - 1)];
            lead = static_cast<std::ptrdiff_t>(slot.sequence.load(std::memory_order_acquire) -
                                               (position + i));
        }
        if (lead == 0) {
            if (enqueue_.compare_exchange_weak(position, position + count,
                                               std::memory_order_relaxed)) {
                *first = position;
                return true;
            }
        } else if (lead < 0) {
            return false;  // a slot still holds a piece the writer has not taken: full
        } else {
            position = enqueue_.load(std::memory_order_relaxed);  // another producer took it
        }
    }
}
