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
// the tracker's sequence counter makes a reader's copy consistent.
struct AtomicVector3 {
    std::atomic<float> x{0.0f}, y{0.0f}, z{0.0f};

    void Store(const XrVector3f& v) {
        x.store(v.x, std::memory_order_relaxed);
        y.store(v.y, std::memory_order_relaxed);
        z.store(v.z, std::memory_order_relaxed);
    }
    XrVector3f Load() const {
        return {x.load(std::memory_order_relaxed), y.load(std::memory_order_relaxed),
                z.load(std::memory_order_relaxed)};
    }
};

struct AtomicQuaternion {
    std::atomic<float> x{0.0f}, y{0.0f}, z{0.0f}, w{0.0f};

    void Store(const XrQuaternionf& q) {
        x.store(q.x, std::memory_order_relaxed);
        y.store(q.y, std::memory_order_relaxed);
        z.store(q.z, std::memory_order_relaxed);
        w.store(q.w, std::memory_order_relaxed);
    }
    XrQuaternionf Load() const {
        return {x.load(std::memory_order_relaxed), y.load(std::memory_order_relaxed),
                z.load(std::memory_order_relaxed), w.load(std::memory_order_relaxed)};
    }
};
