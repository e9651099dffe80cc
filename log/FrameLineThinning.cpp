#include "log/FrameLineThinning.h"

#include <cstring>
#include <string_view>

namespace {

// Whole lines, or the leading text of lines that go on with numbers.
constexpr std::string_view kLeads[FrameLineThinning::kKinds] = {
    "Position set\n", "Position not set\n", "Setting HMD pos to ", "Waiting\n"};

}  // namespace

int FrameLineThinning::KindOf(const char* data, size_t size) noexcept {
    for (int kind = 0; kind < kKinds; ++kind) {
        const std::string_view lead = kLeads[kind];
        if (size >= lead.size() && std::memcmp(data, lead.data(), lead.size()) == 0) {
            return kind;
        }
    }
    return -1;
}

bool FrameLineThinning::Admit(int kind, int64_t wallNanoseconds, uint64_t* leftOut) noexcept {
    Kind& state = kinds_[kind];
    int64_t next = state.nextAt.load(std::memory_order_relaxed);
    // A wall clock set back by more than a period starts the count afresh rather than silencing
    // the kind until it catches up.
    const bool due = wallNanoseconds >= next || next - wallNanoseconds > kPeriodNanoseconds;
    if (due && state.nextAt.compare_exchange_strong(next, wallNanoseconds + kPeriodNanoseconds,
                                                    std::memory_order_relaxed)) {
        *leftOut = state.leftOut.exchange(0, std::memory_order_relaxed);
        return true;
    }
    state.leftOut.fetch_add(1, std::memory_order_relaxed);
    return false;
}

uint64_t FrameLineThinning::TakeLeftOut() noexcept {
    uint64_t total = 0;
    for (Kind& kind : kinds_) {
        total += kind.leftOut.exchange(0, std::memory_order_relaxed);
    }
    return total;
}
