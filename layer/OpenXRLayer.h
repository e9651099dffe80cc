#pragma once

#include <openxr/openxr.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The runtime's conversion of XrTime to the monotonic clock, with the instance it belongs to.
struct TimeConversion {
    PFN_xrVoidFunction convert = nullptr;  // null when the instance has none
    XrInstance instance = XR_NULL_HANDLE;
};

// One intercepted OpenXR function.
struct HookEntry {
    std::string name;
    PFN_xrVoidFunction hook = nullptr;
    PFN_xrVoidFunction next = nullptr;  // the next element's implementation; null until resolved
    // For a function the runtime may lack (a newer version's, an extension's): without the next
    // element's implementation, lookups get the next element's answer instead of the hook.
    bool onlyWithNext = false;
};

// The five intercepted functions, in table order.
std::vector<HookEntry> BuildHookList();

// The single layer object of the process, alive from instance creation to instance destruction.
// It routes every function lookup: intercepted names to our hooks, the rest down the chain.
class OpenXRLayer {
public:
    // Throws std::runtime_error when a layer object already exists.
    OpenXRLayer(PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr,
                const std::vector<HookEntry>& hooks);
    OpenXRLayer(const OpenXRLayer&) = delete;
    OpenXRLayer& operator=(const OpenXRLayer&) = delete;

    // Throws std::runtime_error when no layer object exists.
    static OpenXRLayer& Get();
    // The layer object, or null: for callers to whom its absence is an ordinary state.
    static OpenXRLayer* Find() noexcept { return instance_.load(std::memory_order_acquire); }
    static void Destroy();
    // Advances whenever a layer object is created or destroyed; hooks compare it with the value
    // at their last fetch to notice a new or vanished instance without a lookup by name.
    static uint64_t Generation() { return generation_.load(std::memory_order_acquire); }

    XrResult GetInstanceProcAddr(XrInstance instance, const char* name,
                                 PFN_xrVoidFunction* function);
    // Throws std::out_of_range for a name that is not intercepted.
    PFN_xrVoidFunction GetNextFunction(const std::string& name) const;
    void ResolveNextFunctions(XrInstance instance);
    // For the prediction option: the runtime's conversion of XrTime to the monotonic clock, on an
    // instance that enabled the extension. False when the runtime does not provide it.
    bool ResolveTimeConversion(XrInstance instance);
    TimeConversion GetTimeConversion() const { return timeConversion_; }

private:
    static std::atomic<OpenXRLayer*> instance_;
    static std::atomic<uint64_t> generation_;

    PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr_;
    std::unordered_map<std::string, HookEntry> functions_;
    TimeConversion timeConversion_;
};
