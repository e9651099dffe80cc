#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

// The reference spaces created through the layer, kept so that locating them can give the tracked
// head. Two tables of their own size:
// - VIEW spaces, each with its session and the pose in the head that the application asked for
//   (the layer hands the runtime another one);
// - world spaces (LOCAL, STAGE and the like), each with its session: a VIEW space sits at the
//   tracked head in them, so they sit at its inverse in a VIEW space. Any other space, an action
//   space for one, moves in a way only the runtime knows.
// Fixed tables: adding, forgetting and asking take no lock and allocate nothing. Applications hold
// a handful of reference spaces; past a table's size, further ones are not kept and keep the
// runtime's poses.
//
// OpenXR destroys a session's spaces with the session and every space with the instance, without
// an xrDestroySpace each, and a runtime may then hand out the same handle again: the layer forgets
// them at those points too, and a handle added again replaces what was kept for it.
class ViewSpaceSet {
public:
    static constexpr size_t kCapacity = 64;
    // Reads of a VIEW space's pose that a refill of its slot may overtake before Find gives up.
    static constexpr int kReadAttempts = 4;

    // A test seam, called with its context: in Add between claiming a slot and publishing it, and
    // in Find in the middle of reading a slot's pose, so that a test can interleave another call
    // there without depending on timing.
    using Pause = void (*)(void* context);

    // False when the table is full.
    bool Add(XrSpace space, XrSession session, const XrPosef& poseInHead, Pause pause = nullptr,
             void* context = nullptr);
    bool AddWorldSpace(XrSpace space, XrSession session);
    // Forgets the handle in both tables.
    void Remove(XrSpace space);
    void RemoveSession(XrSession session);
    void Clear();
    // The pose in the head the application gave a VIEW space, or nothing for other spaces; also
    // nothing when refills of its slot overtook every read.
    std::optional<XrPosef> Find(XrSpace space, Pause pause = nullptr,
                                void* context = nullptr) const;
    bool HoldsWorldSpace(XrSpace space) const;

    // After a failed Add (of a VIEW or of a world space): true the first time since that table was
    // last cleared, to say so once.
    bool TakeFullNotice();
    bool TakeWorldFullNotice();

private:
    // A slot is written only by the thread that claimed it (its handle set to a mark while it
    // fills); its version is odd during that, so that a reader can tell a pose that changed under
    // it.
    struct Slot {
        std::atomic<uint64_t> handle{0};  // published last, after the pose and the session
        std::atomic<uint32_t> version{0};
        std::atomic<uint64_t> session{0};
        std::atomic<float> px{0.0f}, py{0.0f}, pz{0.0f};
        std::atomic<float> qx{0.0f}, qy{0.0f}, qz{0.0f}, qw{1.0f};
    };
    using Table = std::array<Slot, kCapacity>;

    static uint64_t Key(XrSpace space);
    static bool AddTo(Table& table, XrSpace space, XrSession session, const XrPosef& poseInHead,
                      Pause pause, void* context);
    static void Fill(Slot& slot, uint64_t key, XrSession session, const XrPosef& poseInHead,
                     Pause pause, void* context);
    // Frees the slots of both tables that still hold a published handle that `matches`.
    template <typename Matches>
    void RemoveWhere(Matches&& matches);

    Table views_{};
    Table worldSpaces_{};  // their poses unused
    std::atomic<bool> fullReported_{false};
    std::atomic<bool> worldFullReported_{false};
};
