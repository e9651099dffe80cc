#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "standins/runtime/Functions.h"
#include "standins/runtime/Recorder.h"
#include "standins/runtime/RuntimeObjects.h"
#include "standins/runtime/StructureChecks.h"

namespace standin {
namespace {

constexpr XrViewConfigurationType kViewConfigurations[] = {
    XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO};
constexpr XrEnvironmentBlendMode kBlendModes[] = {XR_ENVIRONMENT_BLEND_MODE_OPAQUE};
constexpr uint32_t kRecommendedImageSize = 1024;
constexpr uint32_t kMaxImageSize = 4096;

struct OfferedExtension {
    const char* name;
    uint32_t version;
    bool Instance::*enabled;
};

constexpr OfferedExtension kExtensions[] = {
    {XR_MND_HEADLESS_EXTENSION_NAME, XR_MND_headless_SPEC_VERSION, &Instance::headlessEnabled},
#ifdef XR_USE_GRAPHICS_API_VULKAN
    {XR_KHR_VULKAN_ENABLE_EXTENSION_NAME, XR_KHR_vulkan_enable_SPEC_VERSION,
     &Instance::vulkanEnabled},
    {XR_KHR_VULKAN_ENABLE2_EXTENSION_NAME, XR_KHR_vulkan_enable2_SPEC_VERSION,
     &Instance::vulkan2Enabled},
#endif
    {kTimeConversionExtension, kTimeConversionVersion, &Instance::timeConversionEnabled},
    {kLocateSpacesExtension, 1, &Instance::locateSpacesEnabled},
};

// The time conversion can be switched off, so that a layer's handling of its absence is testable.
bool IsOffered(const OfferedExtension& extension) {
    return extension.enabled != &Instance::timeConversionEnabled || TimeConversionOffered();
}

std::vector<const OfferedExtension*> OfferedExtensions() {
    std::vector<const OfferedExtension*> offered;
    for (const OfferedExtension& extension : kExtensions) {
        if (IsOffered(extension)) {
            offered.push_back(&extension);
        }
    }
    return offered;
}

const OfferedExtension* FindExtension(const char* name) {
    for (const OfferedExtension& extension : kExtensions) {
        if (std::strcmp(name, extension.name) == 0) {
            return IsOffered(extension) ? &extension : nullptr;
        }
    }
    return nullptr;
}

XrResult CheckSystem(XrInstance instance, XrSystemId systemId) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    return systemId == kSystemId ? XR_SUCCESS : XR_ERROR_SYSTEM_INVALID;
}

XrResult CheckViewConfiguration(XrInstance instance, XrSystemId systemId,
                                XrViewConfigurationType type) {
    if (const XrResult result = CheckSystem(instance, systemId); XR_FAILED(result)) {
        return result;
    }
    return type == XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO
               ? XR_SUCCESS
               : XR_ERROR_VIEW_CONFIGURATION_TYPE_UNSUPPORTED;
}

}  // namespace

XrResult XRAPI_CALL EnumerateInstanceExtensionProperties(const char* layerName, uint32_t capacity,
                                                         uint32_t* count,
                                                         XrExtensionProperties* properties) {
    if (layerName != nullptr) {
        return XR_ERROR_API_LAYER_NOT_PRESENT;
    }
    if (count == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const std::vector<const OfferedExtension*> offered = OfferedExtensions();
    const auto offeredCount = static_cast<uint32_t>(offered.size());
    *count = offeredCount;
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (capacity < offeredCount) {
        return XR_ERROR_SIZE_INSUFFICIENT;
    }
    if (properties == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    for (uint32_t i = 0; i < offeredCount; ++i) {
        if (properties[i].type != XR_TYPE_EXTENSION_PROPERTIES) {
            return XR_ERROR_VALIDATION_FAILURE;
        }
        CopyName(properties[i].extensionName, offered[i]->name);
        properties[i].extensionVersion = offered[i]->version;
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL CreateInstance(const XrInstanceCreateInfo* createInfo, XrInstance* instance) {
    if (createInfo == nullptr || instance == nullptr ||
        createInfo->type != XR_TYPE_INSTANCE_CREATE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const XrVersion apiVersion = createInfo->applicationInfo.apiVersion;
    // 1.1 applications too, for the runs through the 1.1 loader; of the functions 1.1 adds, only
    // xrLocateSpaces is offered, and only to them.
    if (XR_VERSION_MAJOR(apiVersion) != 1 || XR_VERSION_MINOR(apiVersion) > 1) {
        return XR_ERROR_API_VERSION_UNSUPPORTED;
    }
    if (createInfo->enabledApiLayerCount != 0) {
        return XR_ERROR_API_LAYER_NOT_PRESENT;  // the loader keeps layers to itself
    }
    Instance state;
    state.apiVersion = apiVersion;
    for (uint32_t i = 0; i < createInfo->enabledExtensionCount; ++i) {
        const char* name = createInfo->enabledExtensionNames[i];
        const OfferedExtension* extension = name != nullptr ? FindExtension(name) : nullptr;
        if (extension == nullptr) {
            return XR_ERROR_EXTENSION_NOT_PRESENT;
        }
        state.*(extension->enabled) = true;
    }
    if (AnyInstance()) {
        return XR_ERROR_LIMIT_REACHED;
    }
    state.config = ReadStandinConfig();
    state.eyes = ComputeEyePoses(state.config);
    const std::string recordPath = state.config.recordPath;
    const XrInstance created = AddInstance(std::move(state));
    if (created == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    TheRecorder().Open(recordPath);
    *instance = created;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL DestroyInstance(XrInstance instance) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (AnySessionOf(instance)) {
        return XR_ERROR_CALL_ORDER_INVALID;
    }
    RemoveInstance(instance);
    TheRecorder().Close();
    return XR_SUCCESS;
}

XrResult XRAPI_CALL GetInstanceProperties(XrInstance instance, XrInstanceProperties* properties) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (properties == nullptr || properties->type != XR_TYPE_INSTANCE_PROPERTIES) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    properties->runtimeVersion = XR_MAKE_VERSION(1, 0, 0);
    CopyName(properties->runtimeName, "Tarvex stand-in runtime");
    return XR_SUCCESS;
}

XrResult XRAPI_CALL ResultToString(XrInstance instance, XrResult value,
                                   char buffer[XR_MAX_RESULT_STRING_SIZE]) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (buffer == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (const char* name = ResultName(value); name != nullptr) {
        std::snprintf(buffer, XR_MAX_RESULT_STRING_SIZE, "%s", name);
    } else {
        // The form the standard prescribes for values this runtime does not know.
        std::snprintf(buffer, XR_MAX_RESULT_STRING_SIZE, "XR_UNKNOWN_%s_%d",
                      XR_SUCCEEDED(value) ? "SUCCESS" : "FAILURE", static_cast<int>(value));
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL StructureTypeToString(XrInstance instance, XrStructureType value,
                                          char buffer[XR_MAX_STRUCTURE_NAME_SIZE]) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (buffer == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (const char* name = StructureTypeName(value); name != nullptr) {
        std::snprintf(buffer, XR_MAX_STRUCTURE_NAME_SIZE, "%s", name);
    } else {
        std::snprintf(buffer, XR_MAX_STRUCTURE_NAME_SIZE, "XR_UNKNOWN_STRUCTURE_TYPE_%d",
                      static_cast<int>(value));
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL StringToPath(XrInstance instance, const char* pathString, XrPath* path) {
    Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (pathString == nullptr || path == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const std::string_view text(pathString);
    if (text.size() >= XR_MAX_PATH_LENGTH || text.empty() || text.front() != '/' ||
        text.back() == '/' || text.find("//") != std::string_view::npos) {
        return XR_ERROR_PATH_FORMAT_INVALID;
    }
    for (const char c : text) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '_' || c == '.' || c == '/';
        if (!allowed) {
            return XR_ERROR_PATH_FORMAT_INVALID;
        }
    }
    for (size_t i = 0; i < state->paths.size(); ++i) {
        if (state->paths[i] == text) {
            *path = i + 1;
            return XR_SUCCESS;
        }
    }
    state->paths.emplace_back(text);
    *path = state->paths.size();
    return XR_SUCCESS;
}

XrResult XRAPI_CALL PathToString(XrInstance instance, XrPath path, uint32_t capacity,
                                 uint32_t* count, char* buffer) {
    Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (path == XR_NULL_PATH || path > state->paths.size()) {
        return XR_ERROR_PATH_INVALID;
    }
    if (count == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const std::string& text = state->paths[path - 1];
    *count = static_cast<uint32_t>(text.size() + 1);
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (capacity < *count) {
        return XR_ERROR_SIZE_INSUFFICIENT;
    }
    if (buffer == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL GetSystem(XrInstance instance, const XrSystemGetInfo* getInfo,
                              XrSystemId* systemId) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (getInfo == nullptr || systemId == nullptr || getInfo->type != XR_TYPE_SYSTEM_GET_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (getInfo->formFactor != XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY) {
        return XR_ERROR_FORM_FACTOR_UNSUPPORTED;
    }
    *systemId = kSystemId;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL GetSystemProperties(XrInstance instance, XrSystemId systemId,
                                        XrSystemProperties* properties) {
    if (const XrResult result = CheckSystem(instance, systemId); XR_FAILED(result)) {
        return result;
    }
    if (properties == nullptr || properties->type != XR_TYPE_SYSTEM_PROPERTIES) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    properties->systemId = kSystemId;
    properties->vendorId = 0;
    CopyName(properties->systemName, "Tarvex stand-in headset");
    properties->graphicsProperties.maxSwapchainImageWidth = kMaxImageSize;
    properties->graphicsProperties.maxSwapchainImageHeight = kMaxImageSize;
    properties->graphicsProperties.maxLayerCount = XR_MIN_COMPOSITION_LAYERS_SUPPORTED;
    properties->trackingProperties.orientationTracking = XR_TRUE;
    properties->trackingProperties.positionTracking = XR_TRUE;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL EnumerateViewConfigurations(XrInstance instance, XrSystemId systemId,
                                                uint32_t capacity, uint32_t* count,
                                                XrViewConfigurationType* types) {
    if (const XrResult result = CheckSystem(instance, systemId); XR_FAILED(result)) {
        return result;
    }
    return FillList(kViewConfigurations, capacity, count, types);
}

XrResult XRAPI_CALL GetViewConfigurationProperties(XrInstance instance, XrSystemId systemId,
                                                   XrViewConfigurationType type,
                                                   XrViewConfigurationProperties* properties) {
    if (const XrResult result = CheckViewConfiguration(instance, systemId, type);
        XR_FAILED(result)) {
        return result;
    }
    if (properties == nullptr || properties->type != XR_TYPE_VIEW_CONFIGURATION_PROPERTIES) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    properties->viewConfigurationType = type;
    properties->fovMutable = XR_FALSE;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL EnumerateViewConfigurationViews(XrInstance instance, XrSystemId systemId,
                                                    XrViewConfigurationType type, uint32_t capacity,
                                                    uint32_t* count,
                                                    XrViewConfigurationView* views) {
    if (const XrResult result = CheckViewConfiguration(instance, systemId, type);
        XR_FAILED(result)) {
        return result;
    }
    XrViewConfigurationView view{};
    view.type = XR_TYPE_VIEW_CONFIGURATION_VIEW;
    view.recommendedImageRectWidth = kRecommendedImageSize;
    view.recommendedImageRectHeight = kRecommendedImageSize;
    view.maxImageRectWidth = kMaxImageSize;
    view.maxImageRectHeight = kMaxImageSize;
    view.recommendedSwapchainSampleCount = 1;
    view.maxSwapchainSampleCount = 1;
    if (count == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    *count = 2;
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (capacity < 2) {
        return XR_ERROR_SIZE_INSUFFICIENT;
    }
    if (views == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    for (uint32_t i = 0; i < 2; ++i) {
        if (views[i].type != XR_TYPE_VIEW_CONFIGURATION_VIEW) {
            return XR_ERROR_VALIDATION_FAILURE;
        }
        view.next = views[i].next;
        views[i] = view;
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL EnumerateEnvironmentBlendModes(XrInstance instance, XrSystemId systemId,
                                                   XrViewConfigurationType type, uint32_t capacity,
                                                   uint32_t* count, XrEnvironmentBlendMode* modes) {
    if (const XrResult result = CheckViewConfiguration(instance, systemId, type);
        XR_FAILED(result)) {
        return result;
    }
    return FillList(kBlendModes, capacity, count, modes);
}

XrResult CheckTimeConversionInstance(XrInstance instance) {
    const Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    // A function looked up through another instance that enabled the extension.
    return state->timeConversionEnabled ? XR_SUCCESS : XR_ERROR_FUNCTION_UNSUPPORTED;
}

}  // namespace standin
