#include "tracking/NonFinitePoses.h"

#include <cmath>

bool IsFinitePose(const XrVector3f& position, const XrQuaternionf& orientation) noexcept {
    return std::isfinite(position.x) && std::isfinite(position.y) && std::isfinite(position.z) &&
           IsFiniteOrientation(orientation);
}

bool IsFiniteOrientation(const XrQuaternionf& orientation) noexcept {
    return std::isfinite(orientation.x) && std::isfinite(orientation.y) &&
           std::isfinite(orientation.z) && std::isfinite(orientation.w);
}

bool NonFinitePoseCount::CountOne(double nowSeconds, uint64_t* count) noexcept {
    const uint64_t counted = count_.load(std::memory_order_relaxed) + 1;
    count_.store(counted, std::memory_order_relaxed);
    if (nowSeconds < nextLineAt_.load(std::memory_order_relaxed)) {
        return false;
    }
    nextLineAt_.store(nowSeconds + kLinePeriodSeconds, std::memory_order_relaxed);
    *count = counted;
    return true;
}
