#include "tracking/CaptureOrder.h"

bool CaptureOrder::Take(double captureSeconds) noexcept {
    const double newest = newest_.load(std::memory_order_relaxed);
    if (captureSeconds <= newest && newest - captureSeconds < kClockStepSeconds) {
        return false;
    }
    newest_.store(captureSeconds, std::memory_order_relaxed);
    return true;
}
