#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>

#include "tracking/SequenceLatch.h"

// One headset pose as a reader sees it: position and orientation of the same frame.
struct HmdPose {
    XrVector3f position;
    XrQuaternionf orientation;
    bool valid;
};

// Components kept as atomics so that the frame thread and application threads never race; the
// store's latch makes a reader's copy consistent. Stores release and loads acquire (see
// SequenceLatch.h).
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

// The newest headset pose. One thread writes at a time (the frame thread once the tracker has
// started); any thread reads, and never waits for the writer (SequenceLatch.h).
class PoseStore {
public:
    // The pause is a test seam (SequenceLatch::Write).
    void Store(const XrVector3f& position, const XrQuaternionf& orientation,
               SequenceLatch::Pause pause = nullptr, void* context = nullptr);
    // Keeps the position and orientation.
    void SetValid(bool valid);
    // The last whole pose; false when the writer overtook every attempt, leaving `pose` unusable.
    // The pause is a test seam (SequenceLatch::Read).
    [[nodiscard]] bool Read(HmdPose* pose, SequenceLatch::Pause pause = nullptr,
                            void* context = nullptr) const;
    // The last whole pose, a read that frames overtook taken again; only one overtaken on every
    // attempt of a bounded number gives no pose (valid false).
    HmdPose ReadNewest() const;
    // A test seam for the readers that cannot pass one (the pose hooks): the pause every Read
    // without its own uses. Set before any reader runs.
    void SetReadPause(SequenceLatch::Pause pause, void* context);

private:
    struct Copy {
        AtomicVector3 position;
        AtomicQuaternion orientation;
        std::atomic<bool> valid{false};
    };

    std::array<Copy, 2> copies_;
    SequenceLatch latch_;
    SequenceLatch::Pause readPause_ = nullptr;
    void* readPauseContext_ = nullptr;
};
