#pragma once

#include <openxr/openxr.h>

#include <atomic>
#include <cstdint>

// One headset pose as a reader sees it: position and orientation of the same frame.
struct HmdPose {
    XrVector3f position;
    XrQuaternionf orientation;
    bool valid;
};

// Components kept as atomics so that the frame thread and application threads never race;
// the tracker's sequence counter makes a reader's copy consistent. Stores release and loads
// acquire: a reader that sees any component of a write also sees the odd counter that opened it,
// which is what a fence would give, and ThreadSanitizer understands it.
struct AtomicVector3 {
    std::atomic<float> x{0.0f}, y{0.0f}, z{0.0f};

    void Store(const XrVector3f& v) {
        x.store(v.x, std::memory_order_release);
        y.store(v.y, std::memory_order_release);
        z.store(v.z, std::memory_order_release);
    }
    XrVector3f Load() const {
        return {x.load(std::memory_order_acquire), y.load(std::memory_order_acquire),
                z.load(std::memory_order_acquire)};
    }
};

struct AtomicQuaternion {
    std::atomic<float> x{0.0f}, y{0.0f}, z{0.0f}, w{0.0f};

    void Store(const XrQuaternionf& q) {
        x.store(q.x, std::memory_order_release);
        y.store(q.y, std::memory_order_release);
        z.store(q.z, std::memory_order_release);
        w.store(q.w, std::memory_order_release);
    }
    XrQuaternionf Load() const {
        return {x.load(std::memory_order_acquire), y.load(std::memory_order_acquire),
                z.load(std::memory_order_acquire), w.load(std::memory_order_acquire)};
    }
};
