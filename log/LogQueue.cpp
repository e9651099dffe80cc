#include "log/LogQueue.h"

#include <cstring>

LogQueue::LogQueue() noexcept {
    for (size_t i = 0; i < kSlots; ++i) {
        slots_[i].sequence.store(i, std::memory_order_relaxed);
    }
}

void LogQueue::Push(const char* data, size_t size) noexcept {
    while (size > 0) {
        const size_t piece = size < kSlotText ? size : kSlotText;
        if (!PushPiece(data, piece)) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
        }
        data += piece;
        size -= piece;
    }
}

bool LogQueue::PushPiece(const char* data, size_t size) noexcept {
    size_t position = enqueue_.load(std::memory_order_relaxed);
    for (;;) {
        Slot& slot = slots_[position & (kSlots - 1)];
        const size_t sequence = slot.sequence.load(std::memory_order_acquire);
        const auto lead = static_cast<std::ptrdiff_t>(sequence - position);
        if (lead == 0) {
            if (enqueue_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                std::memcpy(slot.text, data, size);
                slot.size = size;
                slot.sequence.store(position + 1, std::memory_order_release);
                return true;
            }
        } else if (lead < 0) {
            return false;  // the slot still holds a piece the writer has not taken: full
        } else {
            position = enqueue_.load(std::memory_order_relaxed);
        }
    }
}
