#pragma once

#include <atomic>
#include <limits>

// Keeps the headset poses in the order they were captured. A frame captured no later than the
// newest one taken is a datagram that a newer one overtook on the network, or one that came twice:
// it is not taken, so the head never steps back to where it was. A frame older than that by
// kClockStepSeconds or more is no overtaken datagram but a capture clock that stepped back, as
// when the server restarts: it is taken, and the stream goes on from it instead of standing still
// until the new clock has caught up with the old one.
//
// The frame thread only, without lock or allocation; the atomic keeps the frame thread of a later
// connection clear of a data race.
class CaptureOrder {
public:
    // Far longer than a datagram is ever held up on a network, and short enough that a clock which
    // stepped back by less holds the head still only as long.
    static constexpr double kClockStepSeconds = 0.100;

    // Whether the frame captured at `captureSeconds` (monotonic) is taken; it is then the newest.
    bool Take(double captureSeconds) noexcept;

private:
    std::atomic<double> newest_{-std::numeric_limits<double>::infinity()};
};
