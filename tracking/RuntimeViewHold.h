#pragma once

#include <openxr/openxr.h>

#include <array>
#include <atomic>
#include <cstdint>

// The runtime's own views of each stereo projection layer's space, for xrEndFrame while the
// runtime's-views option is on. A runtime whose views flicker invalid for a frame or two (an
// inside-out headset under a motion-capture rig loses its own tracking now and then) must not make
// the compositor jump between its head and the tracked one every time: a frame without the
// runtime's views carries the last good ones for a few frames within a bounded display time; only
// a longer run without them falls back to the tracked views, and the next good frame switches
// back.
//
// Views are relative to the layer's space, so they are kept per space, in a fixed table: no lock,
// no allocation. A space's frames come from its session's xrEndFrame, one at a time; a frame takes
// its slot for the call (its handle set to a mark), so that nothing frees or reuses the slot
// meanwhile and the slot's fields are the frame's alone. Spaces are forgotten with their space,
// session or instance where the layer sees those destroyed; a slot whose space has had no frame
// for a second of display time goes to another space. With every slot busy, a space's frames
// carry the runtime's views when it gives them and the tracked ones otherwise.
class RuntimeViewHold {
public:
    static constexpr size_t kCapacity = 16;
    // Frames in a row without the runtime's views that still carry its last good ones, and how
    // far past those their display time may be.
    static constexpr uint32_t kHeldFramesAtMost = 4;
    static constexpr XrTime kHeldNanosecondsAtMost = 100'000'000;
    static constexpr XrTime kIdleNanoseconds = 1'000'000'000;

    enum class Views { Runtime, Held, Tracked };

    struct Frame {
        Views views;
        // The frame changes the compositor's head between the runtime's views (its own or held)
        // and the tracked ones.
        bool switched = false;
        uint32_t switches = 0;       // in this space so far, this one included
        uint32_t framesWithout = 0;  // in a row without the runtime's views, this one included
        uint32_t framesBefore = 0;   // frames carried as before the switch
    };

    // One frame of `space`. `located`: the runtime gave both views, which `poses` holds and which
    // are kept. Otherwise, for Held, `poses` gets the kept ones; for Tracked it is left alone.
    Frame Next(XrSession session, XrSpace space, XrTime displayTime, bool located,
               XrPosef (&poses)[2]);

    void Forget(XrSpace space);
    void ForgetSession(XrSession session);
    void Clear();

private:
    struct Slot {
        std::atomic<uint64_t> handle{0};
        std::atomic<uint64_t> session{0};
        std::atomic<XrTime> lastDisplayTime{0};
        // The frame's alone while it holds the slot.
        XrPosef kept[2]{};
        XrTime keptTime = 0;
        bool hasKept = false;
        bool carried = false;  // a frame has been carried
        bool tracked = false;  // the last frame carried the tracked views
        uint32_t framesWithout = 0;
        uint32_t framesSinceSwitch = 0;
        uint32_t switches = 0;
    };

    // The space's slot, a free one or an idle one, taken for this frame; null when every slot is
    // busy.
    Slot* Take(uint64_t key, XrTime displayTime);
    // A slot taken for a space it did not hold, as new.
    static Slot* Started(Slot& slot);
    template <typename Matches>
    void ForgetWhere(Matches&& matches);

    std::array<Slot, kCapacity> slots_{};
};
