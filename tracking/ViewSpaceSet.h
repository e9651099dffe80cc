#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

// The VIEW reference spaces created through the layer, each with its session and the pose in the
// head that the application asked for (the layer hands the runtime another one), so that locating
// them can give the tracked head. A fixed table: adding, forgetting and asking take no lock and
// allocate nothing. Applications hold a handful of VIEW spaces; past the table's size, further
// ones are not tracked and keep the runtime's poses.
//
// OpenXR destroys a session's spaces with the session and every space with the instance, without
// an xrDestroySpace each, and a runtime may then hand out the same handle again: the layer forgets
// them at those points too, and a handle added again replaces what was kept for it.
class ViewSpaceSet {
public:
    static constexpr size_t kCapacity = 64;

    // False when the table is full.
    bool Add(XrSpace space, XrSession session, const XrPosef& poseInHead);
    void Remove(XrSpace space);
    void RemoveSession(XrSession session);
    void Clear();
    // The pose in the head the application gave the space, or nothing for other spaces.
    std::optional<XrPosef> Find(XrSpace space) const;

    // After a failed Add: true the first time since the table was last cleared, to say so once.
    bool TakeFullNotice();

private:
    struct Slot {
        std::atomic<uint64_t> handle{0};  // published last, after the pose and the session
        std::atomic<uint64_t> session{0};
        std::atomic<float> px{0.0f}, py{0.0f}, pz{0.0f};
        std::atomic<float> qx{0.0f}, qy{0.0f}, qz{0.0f}, qw{1.0f};
    };

    static uint64_t Key(XrSpace space);
    static void Fill(Slot& slot, uint64_t key, XrSession session, const XrPosef& poseInHead);
    // Frees the slot if it still holds a published handle that `matches`.
    template <typename Matches>
    void RemoveWhere(Matches&& matches);

    std::array<Slot, kCapacity> slots_{};
    std::atomic<bool> fullReported_{false};
};
