#include <cstring>

#include "layer/LoaderInterface.h"
#include "standins/runtime/Functions.h"
#include "standins/runtime/RuntimeObjects.h"

namespace standin {
namespace {

struct NamedFunction {
    const char* name;
    PFN_xrVoidFunction function;
};

#define STANDIN_FUNCTION(name, implementation)                      \
    NamedFunction {                                                 \
        name, reinterpret_cast<PFN_xrVoidFunction>(&implementation) \
    }

// Only these may be looked up without an instance.
const NamedFunction kGlobalFunctions[] = {
    STANDIN_FUNCTION("xrEnumerateInstanceExtensionProperties",
                     EnumerateInstanceExtensionProperties),
    STANDIN_FUNCTION("xrCreateInstance", CreateInstance),
};

const NamedFunction kInstanceFunctions[] = {
    STANDIN_FUNCTION("xrGetInstanceProcAddr", GetInstanceProcAddr),
    STANDIN_FUNCTION("xrEnumerateInstanceExtensionProperties",
                     EnumerateInstanceExtensionProperties),
    STANDIN_FUNCTION("xrCreateInstance", CreateInstance),
    STANDIN_FUNCTION("xrDestroyInstance", DestroyInstance),
    STANDIN_FUNCTION("xrGetInstanceProperties", GetInstanceProperties),
    STANDIN_FUNCTION("xrResultToString", ResultToString),
    STANDIN_FUNCTION("xrStructureTypeToString", StructureTypeToString),
    STANDIN_FUNCTION("xrStringToPath", StringToPath),
    STANDIN_FUNCTION("xrPathToString", PathToString),
    STANDIN_FUNCTION("xrGetSystem", GetSystem),
    STANDIN_FUNCTION("xrGetSystemProperties", GetSystemProperties),
    STANDIN_FUNCTION("xrEnumerateViewConfigurations", EnumerateViewConfigurations),
    STANDIN_FUNCTION("xrGetViewConfigurationProperties", GetViewConfigurationProperties),
    STANDIN_FUNCTION("xrEnumerateViewConfigurationViews", EnumerateViewConfigurationViews),
    STANDIN_FUNCTION("xrEnumerateEnvironmentBlendModes", EnumerateEnvironmentBlendModes),
    STANDIN_FUNCTION("xrCreateSession", CreateSession),
    STANDIN_FUNCTION("xrDestroySession", DestroySession),
    STANDIN_FUNCTION("xrBeginSession", BeginSession),
    STANDIN_FUNCTION("xrEndSession", EndSession),
    STANDIN_FUNCTION("xrRequestExitSession", RequestExitSession),
    STANDIN_FUNCTION("xrPollEvent", PollEvent),
    STANDIN_FUNCTION("xrEnumerateReferenceSpaces", EnumerateReferenceSpaces),
    STANDIN_FUNCTION("xrCreateReferenceSpace", CreateReferenceSpace),
    STANDIN_FUNCTION("xrDestroySpace", DestroySpace),
    STANDIN_FUNCTION("xrLocateViews", LocateViews),
    STANDIN_FUNCTION("xrEnumerateSwapchainFormats", EnumerateSwapchainFormats),
    STANDIN_FUNCTION("xrCreateSwapchain", CreateSwapchain),
    STANDIN_FUNCTION("xrDestroySwapchain", DestroySwapchain),
    STANDIN_FUNCTION("xrEnumerateSwapchainImages", EnumerateSwapchainImages),
    STANDIN_FUNCTION("xrAcquireSwapchainImage", AcquireSwapchainImage),
    STANDIN_FUNCTION("xrWaitSwapchainImage", WaitSwapchainImage),
    STANDIN_FUNCTION("xrReleaseSwapchainImage", ReleaseSwapchainImage),
    STANDIN_FUNCTION("xrWaitFrame", WaitFrame),
    STANDIN_FUNCTION("xrBeginFrame", BeginFrame),
    STANDIN_FUNCTION("xrEndFrame", EndFrame),
};

#undef STANDIN_FUNCTION

template <size_t N>
PFN_xrVoidFunction Lookup(const NamedFunction (&table)[N], const char* name) {
    for (const NamedFunction& entry : table) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.function;
        }
    }
    return nullptr;
}

bool AcceptsLoaderInfo(const XrNegotiateLoaderInfo& info) {
    return info.structType == XR_LOADER_INTERFACE_STRUCT_LOADER_INFO &&
           info.structVersion == XR_LOADER_INFO_STRUCT_VERSION &&
           info.structSize == sizeof(XrNegotiateLoaderInfo) &&
           info.minInterfaceVersion <= XR_CURRENT_LOADER_RUNTIME_VERSION &&
           info.maxInterfaceVersion >= XR_CURRENT_LOADER_RUNTIME_VERSION &&
           info.minApiVersion <= XR_CURRENT_API_VERSION &&
           info.maxApiVersion >= XR_MAKE_VERSION(1, 0, 0);
}

bool AcceptsRuntimeRequest(const XrNegotiateRuntimeRequest& request) {
    return request.structType == XR_LOADER_INTERFACE_STRUCT_RUNTIME_REQUEST &&
           request.structVersion == XR_RUNTIME_INFO_STRUCT_VERSION &&
           request.structSize == sizeof(XrNegotiateRuntimeRequest);
}

}  // namespace

XrResult XRAPI_CALL GetInstanceProcAddr(XrInstance instance, const char* name,
                                        PFN_xrVoidFunction* function) {
    if (name == nullptr || function == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    *function = nullptr;
    if (instance == XR_NULL_HANDLE) {
        *function = Lookup(kGlobalFunctions, name);
        return *function != nullptr ? XR_SUCCESS : XR_ERROR_HANDLE_INVALID;
    }
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    *function = Lookup(kInstanceFunctions, name);
    return *function != nullptr ? XR_SUCCESS : XR_ERROR_FUNCTION_UNSUPPORTED;
}

}  // namespace standin

extern "C" __attribute__((visibility("default"))) XrResult XRAPI_CALL
xrNegotiateLoaderRuntimeInterface(const XrNegotiateLoaderInfo* loaderInfo,
                                  XrNegotiateRuntimeRequest* runtimeRequest) {
    if (loaderInfo == nullptr || runtimeRequest == nullptr ||
        !standin::AcceptsLoaderInfo(*loaderInfo) ||
        !standin::AcceptsRuntimeRequest(*runtimeRequest)) {
        return XR_ERROR_INITIALIZATION_FAILED;
    }
    runtimeRequest->runtimeInterfaceVersion = XR_CURRENT_LOADER_RUNTIME_VERSION;
    runtimeRequest->runtimeApiVersion = XR_CURRENT_API_VERSION;
    runtimeRequest->getInstanceProcAddr = &standin::GetInstanceProcAddr;
    return XR_SUCCESS;
}
