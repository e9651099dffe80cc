#include "layer/OpenXRLayer.h"

#include <cstring>
#include <stdexcept>

#include "platform/XrTimeConversion.h"

std::atomic<OpenXRLayer*> OpenXRLayer::instance_{nullptr};
std::atomic<uint64_t> OpenXRLayer::generation_{0};

OpenXRLayer::OpenXRLayer(PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr,
                         const std::vector<HookEntry>& hooks)
    : nextGetInstanceProcAddr_(nextGetInstanceProcAddr) {
    OpenXRLayer* expected = nullptr;
    if (!instance_.compare_exchange_strong(expected, this)) {
        throw std::runtime_error(
            "Initialization of OpenXR layer XR_APILAYER_TARVEX_tracking_override failed: Cannot "
            "create more than one instance of OpenXRLayer class.");
    }
    try {
        for (const HookEntry& entry : hooks) {
            functions_.insert_or_assign(entry.name, entry);
        }
    } catch (...) {
        // The half-built object is released by the failing new-expression: do not keep it.
        instance_.store(nullptr);
        throw;
    }
    generation_.fetch_add(1, std::memory_order_acq_rel);
}

OpenXRLayer& OpenXRLayer::Get() {
    OpenXRLayer* layer = Find();
    if (layer == nullptr) {
        throw std::runtime_error("Layer uninitialized. Cannot dereference singleton");
    }
    return *layer;
}

void OpenXRLayer::Destroy() {
    OpenXRLayer* layer = instance_.exchange(nullptr);
    if (layer != nullptr) {
        // Hooks must stop calling the destroyed instance's functions.
        generation_.fetch_add(1, std::memory_order_acq_rel);
        delete layer;
    }
}

XrResult OpenXRLayer::GetInstanceProcAddr(XrInstance instance, const char* name,
                                          PFN_xrVoidFunction* function) {
    if (nextGetInstanceProcAddr_ == nullptr) {
        throw std::runtime_error(
            "Somehow we don't have a pointer to the next layer in the chain's GetInstanceProcAddr "
            "function.");
    }
    const auto found = functions_.find(name);
    if (found != functions_.end() &&
        !(found->second.onlyWithNext && found->second.next == nullptr)) {
        *function = found->second.hook;
        return XR_SUCCESS;
    }
    return nextGetInstanceProcAddr_(instance, name, function);
}

PFN_xrVoidFunction OpenXRLayer::GetNextFunction(const std::string& name) const {
    return functions_.at(name).next;
}

void OpenXRLayer::ResolveNextFunctions(XrInstance instance) {
    for (auto& [name, entry] : functions_) {
        PFN_xrVoidFunction next = nullptr;
        if (XR_SUCCEEDED(nextGetInstanceProcAddr_(instance, name.c_str(), &next))) {
            entry.next = next;
        }
    }
}

bool OpenXRLayer::ResolveTimeConversion(XrInstance instance) {
    PFN_xrVoidFunction convert = nullptr;
    if (XR_FAILED(
            nextGetInstanceProcAddr_(instance, platform::kTimeConversionFunction, &convert)) ||
        convert == nullptr) {
        return false;
    }
    timeConversion_ = {convert, instance};
    return true;
}
