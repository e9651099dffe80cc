#pragma once

#include <openxr/openxr.h>

#include <atomic>
#include <cstdint>

#include "layer/OpenXRLayer.h"

// A pose hook's next function. It belongs to the layer object it was fetched from: loaders may
// reload the runtime between instances, so the hook fetches again once a newer layer object
// exists. The steady-state cost is one atomic comparison; a null is never kept.
template <typename Pfn>
class NextFunction {
public:
    explicit constexpr NextFunction(const char* name) : name_(name) {}

    // The next element's function for the current layer object, or null when there is none.
    Pfn Get() {
        const uint64_t generation = OpenXRLayer::Generation();
        if (fetchedFor_.load(std::memory_order_acquire) == generation) {
            return function_.load(std::memory_order_acquire);
        }
        return Fetch(generation);
    }

private:
    Pfn Fetch(uint64_t generation) {
        Pfn function = nullptr;
        try {
            function = reinterpret_cast<Pfn>(OpenXRLayer::Get().GetNextFunction(name_));
        } catch (...) {
            function = nullptr;  // no layer object: nothing to forward to
        }
        function_.store(function, std::memory_order_release);
        if (function != nullptr) {
            fetchedFor_.store(generation, std::memory_order_release);
        }
        return function;
    }

    const char* name_;
    std::atomic<uint64_t> fetchedFor_{0};  // generation 0 never has a layer object
    std::atomic<Pfn> function_{nullptr};
};
