#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// One writing thread and any number of readers over two copies of a value, without a lock and
// without a reader ever waiting for the writer. The writer changes copy 0 while the counter is odd
// and copy 1 while it is even; a reader takes the copy that is not being changed (1 while odd, 0
// while even) and keeps what it read when the counter has not moved meanwhile. So a writer stopped
// anywhere, preempted on a busy machine, holds up no reader: each gets the last whole value. Only a
// writer that finishes a change during every one of a reader's few attempts leaves it without a
// value, and the reader says so.
//
// The copies are atomics stored with release and loaded with acquire: a reader that sees any part
// of a change also sees the counter value that opened it, so its second look at the counter tells
// it that it was overtaken. ThreadSanitizer understands this, as it would not understand fences.
class SequenceLatch {
public:
    static constexpr int kReadAttempts = 4;

    // A test seam: called with its context in the middle of a write or of a read attempt, so that
    // a test can stop a writer there, or let it overtake a reader, without depending on timing.
    using Pause = void (*)(void* context);

    // `writeCopy(index)` changes copy 0, then copy 1. The pause comes between the two, with the
    // counter odd: copy 0 changed, copy 1 not yet.
    template <typename WriteCopy>
    void Write(WriteCopy writeCopy, Pause pause = nullptr, void* context = nullptr) {
        const uint32_t start = sequence_.load(std::memory_order_relaxed);
        sequence_.store(start + 1, std::memory_order_release);
        writeCopy(size_t{0});
        if (pause != nullptr) {
            pause(context);
        }
        sequence_.store(start + 2, std::memory_order_release);
        writeCopy(size_t{1});
    }

    // `readCopy(index)` copies one copy out. True once a copy was read whole; false when the writer
    // overtook every attempt, and what `readCopy` last copied is then not to be used. The pause
    // comes after each copy is read, before the counter is looked at again.
    template <typename ReadCopy>
    [[nodiscard]] bool Read(ReadCopy readCopy, Pause pause = nullptr,
                            void* context = nullptr) const {
        for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
            const uint32_t before = sequence_.load(std::memory_order_acquire);
            readCopy((before & 1u) != 0 ? size_t{1} : size_t{0});
            if (pause != nullptr) {
                pause(context);
            }
            // The acquire loads of the copy keep this load after them.
            if (sequence_.load(std::memory_order_relaxed) == before) {
                return true;
            }
        }
        return false;
    }

private:
    std::atomic<uint32_t> sequence_{0};
};
