#include "layer/LoaderEntries.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "layer/ExceptionGuard.h"
#include "layer/InstanceHeadFacts.h"
#include "layer/LayerConstants.h"
#include "layer/OpenXRLayer.h"
#include "layer/OptionalInstanceCreation.h"
#include "log/LogLine.h"
#include "log/LogOutput.h"
#include "platform/XrTimeConversion.h"
#include "tracking/MocapTracker.h"

namespace {

bool IsLayerName(const char* name) {
    return std::strcmp(name, kLayerName) == 0;
}

bool AcceptsLoaderInfo(const XrNegotiateLoaderInfo& info) {
    return info.structType == XR_LOADER_INTERFACE_STRUCT_LOADER_INFO &&
           info.structVersion == XR_LOADER_INFO_STRUCT_VERSION &&
           info.structSize == sizeof(XrNegotiateLoaderInfo) &&
           info.minInterfaceVersion <= kLayerInterfaceVersion &&
           info.maxInterfaceVersion == kLayerInterfaceVersion &&
           info.maxApiVersion >= kLayerApiVersion && info.minApiVersion <= kLayerApiVersion;
}

bool AcceptsRequestHeader(const XrNegotiateApiLayerRequest& request) {
    return request.structType == XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST &&
           request.structVersion == XR_API_LAYER_INFO_STRUCT_VERSION &&
           request.structSize == sizeof(XrNegotiateApiLayerRequest);
}

bool AcceptsCreateInfo(const XrApiLayerCreateInfo* info) {
    return info != nullptr &&
           info->structType == XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO &&
           info->structVersion >= XR_API_LAYER_CREATE_INFO_STRUCT_VERSION &&
           info->structSize >= sizeof(XrApiLayerCreateInfo);
}

bool AcceptsNextInfo(const XrApiLayerNextInfo* next) {
    return next != nullptr && next->structType == XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO &&
           next->structVersion >= XR_API_LAYER_NEXT_INFO_STRUCT_VERSION &&
           next->structSize >= sizeof(XrApiLayerNextInfo) && IsLayerName(next->layerName) &&
           next->nextGetInstanceProcAddr != nullptr && next->nextCreateApiLayerInstance != nullptr;
}

void DestroyAbandonedInstance(PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr,
                              XrInstance instance) noexcept {
    try {
        PFN_xrVoidFunction destroy = nullptr;
        if (XR_SUCCEEDED(nextGetInstanceProcAddr(instance, "xrDestroyInstance", &destroy)) &&
            destroy != nullptr) {
            reinterpret_cast<PFN_xrDestroyInstance>(destroy)(instance);
        }
    } catch (...) {
        // The next element already failed once; what it does now changes nothing for the caller.
    }
}

// Puts the options read for a new layer object in force; a refused second object changes nothing.
void ApplyLayerOptions(const LayerOptions& options, const std::string& problem) {
    if (!problem.empty()) {
        LogLine() << "Options ignored: " << problem << '\n';
    }
    MocapTracker::Instance().options.Set(options);
    WriteLogFileOnly(DescribeLayerOptions(options));
}

}  // namespace

XrResult XRAPI_CALL xrNegotiateLoaderApiLayerInterface(
    const XrNegotiateLoaderInfo* loaderInfo, const char* apiLayerName,
    XrNegotiateApiLayerRequest* apiLayerRequest) {
    if (loaderInfo == nullptr || apiLayerRequest == nullptr || !AcceptsLoaderInfo(*loaderInfo) ||
        !AcceptsRequestHeader(*apiLayerRequest) || !IsLayerName(apiLayerName)) {
        return XR_ERROR_INITIALIZATION_FAILED;
    }
    apiLayerRequest->layerInterfaceVersion = kLayerInterfaceVersion;
    apiLayerRequest->getInstanceProcAddr = &LayerXrGetInstanceProcAddr;
    apiLayerRequest->createApiLayerInstance = &LayerXrCreateApiLayerInstance;
    apiLayerRequest->layerApiVersion = kLayerApiVersion;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL LayerXrCreateApiLayerInstance(const XrInstanceCreateInfo* info,
                                                  const XrApiLayerCreateInfo* apiLayerInfo,
                                                  XrInstance* instance) {
    return CallGuarded(XR_ERROR_INITIALIZATION_FAILED, [&] {
        if (!AcceptsCreateInfo(apiLayerInfo) || !AcceptsNextInfo(apiLayerInfo->nextInfo)) {
            return XR_ERROR_INITIALIZATION_FAILED;
        }
        const XrApiLayerNextInfo& nextInfo = *apiLayerInfo->nextInfo;

        // The next element gets the loader's record with its own position in the chain.
        XrApiLayerCreateInfo nextCreateInfo;
        std::memcpy(&nextCreateInfo, apiLayerInfo, sizeof(nextCreateInfo));
        nextCreateInfo.nextInfo = nextInfo.next;
        const XrInstanceCreateInfo applicationCreateInfo = *info;

        // Read at each instance creation, before the rest of the chain exists: prediction may
        // need an extension enabled on the instance.
        std::string optionsProblem;
        const LayerOptions options = LoadLayerOptions(&optionsProblem);
        std::vector<HookEntry> hooks = BuildHookList();
        for (HookEntry& optional : OptionalHookList(options)) {
            hooks.push_back(std::move(optional));
        }
        new OpenXRLayer(nextInfo.nextGetInstanceProcAddr, hooks);
        ApplyLayerOptions(options, optionsProblem);

        XrInstance created = *instance;
        bool timeConversion = false;
        const XrResult result =
            CreateNextInstance(options, nextInfo.nextCreateApiLayerInstance, applicationCreateInfo,
                               nextCreateInfo, &created, &timeConversion);
        if (XR_FAILED(result)) {
            // Release the layer object so that the application can try again in this process.
            OpenXRLayer::Destroy();
            return XR_ERROR_LAYER_INVALID;
        }
        try {
            OpenXRLayer::Get().ResolveNextFunctions(created);
            if (options.predictDisplayTime &&
                !(timeConversion && OpenXRLayer::Get().ResolveTimeConversion(created))) {
                LogLine() << "Prediction to display time is off: the runtime does not offer "
                          << platform::kTimeConversionExtension << ".\n";
            }
        } catch (...) {
            // The application is told creation failed, so it will neither use nor destroy this
            // instance: undo it, and leave the process free for another attempt.
            OpenXRLayer::Destroy();
            DestroyAbandonedInstance(nextInfo.nextGetInstanceProcAddr, created);
            throw;
        }
        LogApplicationAndRuntime(applicationCreateInfo, nextInfo.nextGetInstanceProcAddr, created);
        *instance = created;
        return result;
    });
}

XrResult XRAPI_CALL LayerXrGetInstanceProcAddr(XrInstance instance, const char* name,
                                               PFN_xrVoidFunction* function) {
    bool answered = false;
    const XrResult result = CallGuarded(XR_ERROR_HANDLE_INVALID, [&] {
        const XrResult lookup = OpenXRLayer::Get().GetInstanceProcAddr(instance, name, function);
        answered = true;
        return lookup;
    });
    // Only the layer's own failure clears the slot; whatever the next element wrote stands.
    if (!answered && function != nullptr) {
        *function = nullptr;
    }
    return result;
}
