#include <cstring>

#include "layer/LoaderInterface.h"
#include "platform/Export.h"
#include "standins/runtime/Functions.h"
#include "standins/runtime/RuntimeObjects.h"

namespace standin {
namespace {

struct NamedFunction {
    const char* name;
    PFN_xrVoidFunction function;
    const char* extension = nullptr;  // the extension that must be enabled; nullptr for the core
    XrVersion since = XR_MAKE_VERSION(1, 0, 0);  // the core version that has it
};

#define STANDIN_FUNCTION(name, implementation)                      \
    NamedFunction {                                                 \
        name, reinterpret_cast<PFN_xrVoidFunction>(&implementation) \
    }
#define STANDIN_EXTENSION_FUNCTION(name, implementation, extension)            \
    NamedFunction {                                                            \
        name, reinterpret_cast<PFN_xrVoidFunction>(&implementation), extension \
    }
#define STANDIN_FUNCTION_SINCE(name, implementation, version)                         \
    NamedFunction {                                                                   \
        name, reinterpret_cast<PFN_xrVoidFunction>(&implementation), nullptr, version \
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
    STANDIN_FUNCTION("xrGetReferenceSpaceBoundsRect", GetReferenceSpaceBoundsRect),
    STANDIN_FUNCTION("xrCreateActionSpace", CreateActionSpace),
    STANDIN_FUNCTION("xrLocateSpace", LocateSpace),
    STANDIN_FUNCTION_SINCE("xrLocateSpaces", LocateSpaces, XR_MAKE_VERSION(1, 1, 0)),
    STANDIN_EXTENSION_FUNCTION("xrLocateSpacesKHR", LocateSpaces, kLocateSpacesExtension),
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
    STANDIN_FUNCTION("xrCreateActionSet", CreateActionSet),
    STANDIN_FUNCTION("xrDestroyActionSet", DestroyActionSet),
    STANDIN_FUNCTION("xrCreateAction", CreateAction),
    STANDIN_FUNCTION("xrDestroyAction", DestroyAction),
    STANDIN_FUNCTION("xrSuggestInteractionProfileBindings", SuggestInteractionProfileBindings),
    STANDIN_FUNCTION("xrAttachSessionActionSets", AttachSessionActionSets),
    STANDIN_FUNCTION("xrGetCurrentInteractionProfile", GetCurrentInteractionProfile),
    STANDIN_FUNCTION("xrGetActionStateBoolean", GetActionStateBoolean),
    STANDIN_FUNCTION("xrGetActionStateFloat", GetActionStateFloat),
    STANDIN_FUNCTION("xrGetActionStateVector2f", GetActionStateVector2f),
    STANDIN_FUNCTION("xrGetActionStatePose", GetActionStatePose),
    STANDIN_FUNCTION("xrSyncActions", SyncActions),
    STANDIN_FUNCTION("xrEnumerateBoundSourcesForAction", EnumerateBoundSourcesForAction),
    STANDIN_FUNCTION("xrGetInputSourceLocalizedName", GetInputSourceLocalizedName),
    STANDIN_FUNCTION("xrApplyHapticFeedback", ApplyHapticFeedback),
    STANDIN_FUNCTION("xrStopHapticFeedback", StopHapticFeedback),
#ifdef XR_USE_GRAPHICS_API_VULKAN
    STANDIN_EXTENSION_FUNCTION("xrGetVulkanInstanceExtensionsKHR", GetVulkanInstanceExtensionsKHR,
                               XR_KHR_VULKAN_ENABLE_EXTENSION_NAME),
    STANDIN_EXTENSION_FUNCTION("xrGetVulkanDeviceExtensionsKHR", GetVulkanDeviceExtensionsKHR,
                               XR_KHR_VULKAN_ENABLE_EXTENSION_NAME),
    STANDIN_EXTENSION_FUNCTION("xrGetVulkanGraphicsDeviceKHR", GetVulkanGraphicsDeviceKHR,
                               XR_KHR_VULKAN_ENABLE_EXTENSION_NAME),
    STANDIN_EXTENSION_FUNCTION("xrGetVulkanGraphicsRequirementsKHR",
                               GetVulkanGraphicsRequirementsKHR,
                               XR_KHR_VULKAN_ENABLE_EXTENSION_NAME),
    STANDIN_EXTENSION_FUNCTION("xrCreateVulkanInstanceKHR", CreateVulkanInstanceKHR,
                               XR_KHR_VULKAN_ENABLE2_EXTENSION_NAME),
    STANDIN_EXTENSION_FUNCTION("xrCreateVulkanDeviceKHR", CreateVulkanDeviceKHR,
                               XR_KHR_VULKAN_ENABLE2_EXTENSION_NAME),
    STANDIN_EXTENSION_FUNCTION("xrGetVulkanGraphicsDevice2KHR", GetVulkanGraphicsDevice2KHR,
                               XR_KHR_VULKAN_ENABLE2_EXTENSION_NAME),
    // The two extensions' requirement queries have the same shape and meaning.
    STANDIN_EXTENSION_FUNCTION("xrGetVulkanGraphicsRequirements2KHR",
                               GetVulkanGraphicsRequirementsKHR,
                               XR_KHR_VULKAN_ENABLE2_EXTENSION_NAME),
#endif
#ifdef XR_USE_PLATFORM_WIN32
    STANDIN_EXTENSION_FUNCTION("xrConvertWin32PerformanceCounterToTimeKHR",
                               ConvertWin32PerformanceCounterToTimeKHR, kTimeConversionExtension),
    STANDIN_EXTENSION_FUNCTION("xrConvertTimeToWin32PerformanceCounterKHR",
                               ConvertTimeToWin32PerformanceCounterKHR, kTimeConversionExtension),
#else
    STANDIN_EXTENSION_FUNCTION("xrConvertTimespecTimeToTimeKHR", ConvertTimespecTimeToTimeKHR,
                               kTimeConversionExtension),
    STANDIN_EXTENSION_FUNCTION("xrConvertTimeToTimespecTimeKHR", ConvertTimeToTimespecTimeKHR,
                               kTimeConversionExtension),
#endif
};

#undef STANDIN_FUNCTION
#undef STANDIN_EXTENSION_FUNCTION
#undef STANDIN_FUNCTION_SINCE

bool IsEnabled(const Instance* instance, const NamedFunction& function) {
    const char* extension = function.extension;
    if (extension == nullptr) {
        // A 1.0 application sees the runtime as a 1.0 one.
        return function.since == XR_MAKE_VERSION(1, 0, 0) ||
               (instance != nullptr && instance->apiVersion >= function.since);
    }
    if (instance == nullptr) {
        return false;
    }
    if (std::strcmp(extension, kLocateSpacesExtension) == 0) {
        return instance->locateSpacesEnabled;
    }
#ifdef XR_USE_GRAPHICS_API_VULKAN
    if (std::strcmp(extension, XR_KHR_VULKAN_ENABLE_EXTENSION_NAME) == 0) {
        return instance->vulkanEnabled;
    }
    if (std::strcmp(extension, XR_KHR_VULKAN_ENABLE2_EXTENSION_NAME) == 0) {
        return instance->vulkan2Enabled;
    }
#endif
    if (std::strcmp(extension, kTimeConversionExtension) == 0) {
        return instance->timeConversionEnabled;
    }
    return false;
}

// An extension's functions exist only for an instance that enabled it.
template <size_t N>
PFN_xrVoidFunction Lookup(const NamedFunction (&table)[N], const char* name,
                          const Instance* instance) {
    for (const NamedFunction& entry : table) {
        if (std::strcmp(entry.name, name) == 0) {
            return IsEnabled(instance, entry) ? entry.function : nullptr;
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
        *function = Lookup(kGlobalFunctions, name, nullptr);
        return *function != nullptr ? XR_SUCCESS : XR_ERROR_HANDLE_INVALID;
    }
    const Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    *function = Lookup(kInstanceFunctions, name, state);
    return *function != nullptr ? XR_SUCCESS : XR_ERROR_FUNCTION_UNSUPPORTED;
}

}  // namespace standin

TARVEX_EXPORT XrResult XRAPI_CALL xrNegotiateLoaderRuntimeInterface(
    const XrNegotiateLoaderInfo* loaderInfo, XrNegotiateRuntimeRequest* runtimeRequest) {
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
