#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

// The VIEW reference spaces created through the layer, each with the pose in the head that the
// application asked for (the layer hands the runtime another one), so that locating them can
// give the tracked head. A fixed table: adding, forgetting and asking take no lock and allocate
// nothing. Applications hold a handful of VIEW spaces; past the table's size, further ones are
// not tracked and keep the runtime's poses.
class ViewSpaceSet {
public:
    static constexpr size_t kCapacity = 64;

    bool Add(XrSpace space, const XrPosef& poseInHead);
    void Remove(XrSpace space);
    // The pose in the head the application gave the space, or nothing for other spaces.
    std::optional<XrPosef> Find(XrSpace space) const;

private:
    struct Slot {
        std::atomic<uint64_t> handle{0};  // published last, after the pose
        std::atomic<float> px{0.0f}, py{0.0f}, pz{0.0f};
        std::atomic<float> qx{0.0f}, qy{0.0f}, qz{0.0f}, qw{1.0f};
    };

    static uint64_t Key(XrSpace space);

    std::array<Slot, kCapacity> slots_{};
};
