#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The lines the layer writes for every frame, which would otherwise fill the log file within
// minutes: the view hooks' "Position set" and "Position not set" and the frame intake's
// "Setting HMD pos to ...", and the "Waiting" a reference space's creation repeats every tenth of
// a second while no headset pose comes, which would bury the line that says why. They are known
// by their leading text. The file keeps at most one of each kind a second, the next one written
// saying how many were left out; standard output keeps them all.
//
// Decided where the line is logged, with atomics only: a line left out costs one counter step.
class FrameLineThinning {
public:
    static constexpr int64_t kPeriodNanoseconds = 1'000'000'000;
    static constexpr int kKinds = 4;

    // The line's kind, or -1 for a line that is not logged every frame.
    static int KindOf(const char* data, size_t size) noexcept;

    // Whether a line of the kind logged at `wallNanoseconds` goes to the file. When it does,
    // *leftOut is how many of its kind were left out since the last one that went.
    bool Admit(int kind, int64_t wallNanoseconds, uint64_t* leftOut) noexcept;

    // How many lines of every kind were left out since the last of their kind that went, counted
    // afresh from here on.
    uint64_t TakeLeftOut() noexcept;

private:
    struct alignas(64) Kind {
        std::atomic<int64_t> nextAt{0};
        std::atomic<uint64_t> leftOut{0};
    };

    Kind kinds_[kKinds];
};
