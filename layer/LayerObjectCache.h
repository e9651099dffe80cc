#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "layer/OpenXRLayer.h"

// A small value taken from the current layer object (a next function, the time conversion),
// kept for the hooks until a layer object is created or destroyed. Loaders may reload the runtime
// between instances, so a value belongs to the layer object it came from.
//
// The value and the generation it was fetched for are published together under a sequence
// counter, so a reader never pairs one generation with another's value. The fields are stored
// with release and loaded with acquire, as in the pose store: that orders them against the
// counter without fences, which ThreadSanitizer does not support, at no cost on x86. One fetch
// publishes at a time; a fetch that finds another publishing returns its own value without keeping
// it. The steady-state read is a handful of atomic loads: no lock, no lookup by name, no wait.
//
// The generation only changes inside xrCreateInstance and xrDestroyInstance, which OpenXR does
// not allow to run concurrently with other calls on the instance.
template <typename Value>
class LayerObjectCache {
    static_assert(std::is_trivially_copyable_v<Value> && sizeof(Value) % sizeof(uint64_t) == 0);
    static constexpr size_t kWords = sizeof(Value) / sizeof(uint64_t);
    using Words = std::array<uint64_t, kWords>;

public:
    // `fetch(const OpenXRLayer*)` reads the value off the layer object, which may be null.
    template <typename Fetch>
    Value Get(Fetch&& fetch) {
        const uint64_t generation = OpenXRLayer::Generation();
        const uint32_t before = sequence_.load(std::memory_order_acquire);
        if ((before & 1u) == 0) {
            const uint64_t fetchedFor = fetchedFor_.load(std::memory_order_acquire);
            Words words;
            for (size_t i = 0; i < kWords; ++i) {
                words[i] = words_[i].load(std::memory_order_acquire);
            }
            if (fetchedFor == generation && sequence_.load(std::memory_order_relaxed) == before) {
                return std::bit_cast<Value>(words);
            }
        }
        const Value value = fetch(OpenXRLayer::Find());
        Publish(generation, value);
        return value;
    }

private:
    void Publish(uint64_t generation, const Value& value) {
        if (publishing_.exchange(true, std::memory_order_acquire)) {
            return;
        }
        const auto words = std::bit_cast<Words>(value);
        const uint32_t sequence = sequence_.load(std::memory_order_relaxed);
        // Each field's release store publishes this odd value to a reader that sees it.
        sequence_.store(sequence + 1, std::memory_order_relaxed);
        fetchedFor_.store(generation, std::memory_order_release);
        for (size_t i = 0; i < kWords; ++i) {
            words_[i].store(words[i], std::memory_order_release);
        }
        sequence_.store(sequence + 2, std::memory_order_release);
        publishing_.store(false, std::memory_order_release);
    }

    std::atomic<uint32_t> sequence_{0};    // odd while a fetch publishes
    std::atomic<uint64_t> fetchedFor_{0};  // generation 0: the library is loaded, no layer object
    std::array<std::atomic<uint64_t>, kWords> words_{};
    std::atomic<bool> publishing_{false};
};
