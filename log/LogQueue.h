#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// What travels with a queued text besides the text: when it was logged (wall-clock nanoseconds,
// zero for text to be written as it is) and, for a per-frame line, how many of its kind were left
// out of the file before it.
struct LineStamp {
    int64_t wallNanoseconds = 0;
    uint64_t leftOut = 0;
};

// Text on its way from any thread to the log file's writer thread. Pushing never blocks, takes no
// lock and allocates nothing, so the frame hooks can log at full rate; when the writer falls
// behind, the queue is full and what does not fit is dropped and counted.
//
// A bounded ring of slots, each with a sequence number that says whether it is free for the
// producer of a given position or filled for the consumer: any number of producers, one consumer.
class LogQueue {
public:
    static constexpr size_t kSlots = 1024;  // a power of two
    static constexpr size_t kSlotText = 240;

    LogQueue() noexcept;
    LogQueue(const LogQueue&) = delete;
    LogQueue& operator=(const LogQueue&) = delete;

    // Queues the text in as many slots as it needs, taken next to each other so that no other
    // thread's text comes between its pieces. Text that does not fit whole is dropped, and its
    // pieces counted. Every piece carries the stamp's time; only the last its count.
    void Push(const char* data, size_t size, const LineStamp& stamp = {}) noexcept;

    // The single consumer: hands the oldest queued piece to sink(data, size), or to
    // sink(data, size, stamp) when the sink takes the stamp. False when empty.
    template <typename Sink>
    bool PopInto(Sink&& sink) noexcept {
        const size_t position = dequeue_.load(std::memory_order_relaxed);
        Slot& slot = slots_[position & (kSlots - 1)];
        if (slot.sequence.load(std::memory_order_acquire) != position + 1) {
            return false;
        }
        if constexpr (std::is_invocable_v<Sink, const char*, size_t, const LineStamp&>) {
            sink(slot.text, slot.size, slot.stamp);
        } else {
            sink(slot.text, slot.size);
        }
        dequeue_.store(position + 1, std::memory_order_relaxed);
        slot.sequence.store(position + kSlots, std::memory_order_release);
        return true;
    }

    // Pieces dropped since the last call.
    uint64_t TakeDropped() noexcept { return dropped_.exchange(0, std::memory_order_relaxed); }

private:
    struct Slot {
        std::atomic<size_t> sequence{0};
        size_t size = 0;
        LineStamp stamp;
        char text[kSlotText];
    };

    // Takes `count` free slots in a row for this producer; false when the queue has no room.
    bool Reserve(size_t count, size_t* first) noexcept;

    Slot slots_[kSlots];
    alignas(64) std::atomic<size_t> enqueue_{0};
    alignas(64) std::atomic<size_t> dequeue_{0};
    alignas(64) std::atomic<uint64_t> dropped_{0};
};
