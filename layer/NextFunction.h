#pragma once

#include <openxr/openxr.h>

#include <atomic>
#include <cstdint>

#include "layer/OpenXRLayer.h"

// A pose hook's next function. It belongs to the layer object it was fetched from: loaders may
// reload the runtime between instances, so the hook fetches again whenever a layer object has
// been created or destroyed since. The result of a fetch, null included, is kept until then, so
// the steady-state cost is one atomic comparison and no name is looked up per frame.
//
// The generation only changes inside xrCreateInstance and xrDestroyInstance, which OpenXR does
// not allow to run concurrently with other calls on the instance.
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
        const OpenXRLayer* layer = OpenXRLayer::Find();
        const Pfn function =
            layer == nullptr ? nullptr : reinterpret_cast<Pfn>(layer->GetNextFunction(name_));
        function_.store(function, std::memory_order_release);
        fetchedFor_.store(generation, std::memory_order_release);
        return function;
    }

    const char* name_;
    std::atomic<uint64_t> fetchedFor_{0};  // generation 0: the library is loaded, no layer object
    std::atomic<Pfn> function_{nullptr};
};
