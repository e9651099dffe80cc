#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "tracking/OrvixLib.h"

// Which rigid bodies the frames carry while someone waits for the headset, so that a wait that
// fails can say what the stream held instead. Nothing is recorded while nobody waits. The frame
// thread records without lock or allocation in bounded time: ids 0 to 63 in one bitmask, up to
// kOtherSlots other ids in fixed slots, and a flag for any that did not fit.
class StreamBodyRecord {
public:
    static constexpr int kOtherSlots = 16;
    // A frame's bodies past this many are not looked at; the record then says there were more.
    static constexpr int32_t kScannedBodies = 64;

    // Application threads: the first waiter clears the record, the last one stops it.
    void BeginWatch() noexcept;
    void EndWatch() noexcept;
    bool Watching() const noexcept { return watchers_.load(std::memory_order_relaxed) > 0; }

    // Frame thread, while Watching().
    void Record(const sFrameOfMocapData& frame) noexcept;
    // A headset frame not used because it was stamped ahead of this computer's clock.
    void RecordFutureStamped() noexcept;

    struct Seen {
        uint32_t frames = 0;
        uint32_t futureStamped = 0;
        std::vector<int32_t> ids;  // ascending, each once
        bool moreIds = false;      // ids that the record had no room for
    };
    // What was recorded since the watch began; allocates, so only for the failure's report.
    Seen Snapshot() const;

private:
    static constexpr int64_t kEmptySlot = INT64_MIN;  // outside every 32-bit id

    void RecordOther(int32_t id) noexcept;

    std::atomic<int> watchers_{0};
    std::atomic<uint32_t> frames_{0};
    std::atomic<uint32_t> futureStamped_{0};
    std::atomic<uint64_t> smallIds_{0};
    std::array<std::atomic<int64_t>, kOtherSlots> otherIds_{};
    std::atomic<bool> moreIds_{false};
};

// Clears the record for the first of overlapping waits and stops it after the last.
class StreamBodyWatch {
public:
    explicit StreamBodyWatch(StreamBodyRecord& record) noexcept : record_(record) {
        record_.BeginWatch();
    }
    ~StreamBodyWatch() { record_.EndWatch(); }
    StreamBodyWatch(const StreamBodyWatch&) = delete;
    StreamBodyWatch& operator=(const StreamBodyWatch&) = delete;

private:
    StreamBodyRecord& record_;
};
