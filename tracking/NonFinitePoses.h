#pragma once

#include <openxr/openxr.h>

#include <atomic>
#include <cstdint>
#include <limits>

// Whether every component of the pose is a finite number. One that is not would spoil everything
// computed from the pose for good: the heading correction captured once, the prediction's fit.
bool IsFinitePose(const XrVector3f& position, const XrQuaternionf& orientation) noexcept;
bool IsFiniteOrientation(const XrQuaternionf& orientation) noexcept;

// The headset poses that the frame intake left out for not being finite, counted for the log file:
// a line at the first, then at most one a second, each with the count so far, so that a stream
// sending them every frame does not fill the file.
//
// The frame thread only, without lock or allocation.
class NonFinitePoseCount {
public:
    static constexpr double kLinePeriodSeconds = 1.0;

    // Counts one more at `nowSeconds` (monotonic). True when the log file is due a line now; then
    // *count is the count so far.
    bool CountOne(double nowSeconds, uint64_t* count) noexcept;

private:
    std::atomic<uint64_t> count_{0};
    std::atomic<double> nextLineAt_{-std::numeric_limits<double>::infinity()};
};
