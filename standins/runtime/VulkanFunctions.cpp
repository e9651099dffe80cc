// XR_KHR_vulkan_enable and XR_KHR_vulkan_enable2: the runtime renders nothing itself, so it asks
// for no Vulkan extensions and takes the first physical device the Vulkan loader lists.

#include <cstring>
#include <vector>

#include "standins/runtime/Functions.h"
#include "standins/runtime/RuntimeObjects.h"

namespace standin {
namespace {

XrResult CheckSystem(XrInstance instance, XrSystemId systemId, Instance*& state) {
    state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    return systemId == kSystemId ? XR_SUCCESS : XR_ERROR_SYSTEM_INVALID;
}

// Both extensions' lists of required Vulkan extensions are empty: one terminating character.
XrResult NoExtensions(XrInstance instance, XrSystemId systemId, uint32_t capacity, uint32_t* count,
                      char* buffer) {
    Instance* state = nullptr;
    if (const XrResult result = CheckSystem(instance, systemId, state); XR_FAILED(result)) {
        return result;
    }
    if (count == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    *count = 1;
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (buffer == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    buffer[0] = '\0';
    return XR_SUCCESS;
}

XrResult PickPhysicalDevice(Instance& state, VkInstance vulkanInstance,
                            VkPhysicalDevice* physicalDevice) {
    if (vulkanInstance == VK_NULL_HANDLE || physicalDevice == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    uint32_t count = 0;
    if (vkEnumeratePhysicalDevices(vulkanInstance, &count, nullptr) != VK_SUCCESS || count == 0) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    std::vector<VkPhysicalDevice> devices(count);
    if (vkEnumeratePhysicalDevices(vulkanInstance, &count, devices.data()) < 0 || count == 0) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    state.vulkanInstance = vulkanInstance;
    state.physicalDevice = devices[0];
    *physicalDevice = devices[0];
    return XR_SUCCESS;
}

}  // namespace

XrResult XRAPI_CALL GetVulkanInstanceExtensionsKHR(XrInstance instance, XrSystemId systemId,
                                                   uint32_t capacity, uint32_t* count,
                                                   char* buffer) {
    return NoExtensions(instance, systemId, capacity, count, buffer);
}

XrResult XRAPI_CALL GetVulkanDeviceExtensionsKHR(XrInstance instance, XrSystemId systemId,
                                                 uint32_t capacity, uint32_t* count, char* buffer) {
    return NoExtensions(instance, systemId, capacity, count, buffer);
}

XrResult XRAPI_CALL GetVulkanGraphicsDeviceKHR(XrInstance instance, XrSystemId systemId,
                                               VkInstance vulkanInstance,
                                               VkPhysicalDevice* physicalDevice) {
    Instance* state = nullptr;
    if (const XrResult result = CheckSystem(instance, systemId, state); XR_FAILED(result)) {
        return result;
    }
    return PickPhysicalDevice(*state, vulkanInstance, physicalDevice);
}

XrResult XRAPI_CALL GetVulkanGraphicsRequirementsKHR(
    XrInstance instance, XrSystemId systemId, XrGraphicsRequirementsVulkanKHR* requirements) {
    Instance* state = nullptr;
    if (const XrResult result = CheckSystem(instance, systemId, state); XR_FAILED(result)) {
        return result;
    }
    if (requirements == nullptr || requirements->type != XR_TYPE_GRAPHICS_REQUIREMENTS_VULKAN_KHR) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    requirements->minApiVersionSupported = XR_MAKE_VERSION(1, 0, 0);
    requirements->maxApiVersionSupported = XR_MAKE_VERSION(1, 3, 0);
    state->graphicsRequirementsQueried = true;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL CreateVulkanInstanceKHR(XrInstance instance,
                                            const XrVulkanInstanceCreateInfoKHR* createInfo,
                                            VkInstance* vulkanInstance, VkResult* vulkanResult) {
    if (FindInstance(instance) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || vulkanInstance == nullptr || vulkanResult == nullptr ||
        createInfo->type != XR_TYPE_VULKAN_INSTANCE_CREATE_INFO_KHR ||
        createInfo->createFlags != 0 || createInfo->pfnGetInstanceProcAddr == nullptr ||
        createInfo->vulkanCreateInfo == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (createInfo->systemId != kSystemId) {
        return XR_ERROR_SYSTEM_INVALID;
    }
    // Through the application's loader entry, as the extension asks.
    const auto create = reinterpret_cast<PFN_vkCreateInstance>(
        createInfo->pfnGetInstanceProcAddr(VK_NULL_HANDLE, "vkCreateInstance"));
    if (create == nullptr) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    *vulkanResult =
        create(createInfo->vulkanCreateInfo, createInfo->vulkanAllocator, vulkanInstance);
    return *vulkanResult == VK_SUCCESS ? XR_SUCCESS : XR_ERROR_RUNTIME_FAILURE;
}

XrResult XRAPI_CALL GetVulkanGraphicsDevice2KHR(XrInstance instance,
                                                const XrVulkanGraphicsDeviceGetInfoKHR* getInfo,
                                                VkPhysicalDevice* physicalDevice) {
    if (getInfo == nullptr || getInfo->type != XR_TYPE_VULKAN_GRAPHICS_DEVICE_GET_INFO_KHR) {
        return FindInstance(instance) == nullptr ? XR_ERROR_HANDLE_INVALID
                                                 : XR_ERROR_VALIDATION_FAILURE;
    }
    Instance* state = nullptr;
    if (const XrResult result = CheckSystem(instance, getInfo->systemId, state);
        XR_FAILED(result)) {
        return result;
    }
    return PickPhysicalDevice(*state, getInfo->vulkanInstance, physicalDevice);
}

XrResult XRAPI_CALL CreateVulkanDeviceKHR(XrInstance instance,
                                          const XrVulkanDeviceCreateInfoKHR* createInfo,
                                          VkDevice* vulkanDevice, VkResult* vulkanResult) {
    Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || vulkanDevice == nullptr || vulkanResult == nullptr ||
        createInfo->type != XR_TYPE_VULKAN_DEVICE_CREATE_INFO_KHR || createInfo->createFlags != 0 ||
        createInfo->pfnGetInstanceProcAddr == nullptr || createInfo->vulkanCreateInfo == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (createInfo->systemId != kSystemId) {
        return XR_ERROR_SYSTEM_INVALID;
    }
    // Only the device handed out by xrGetVulkanGraphicsDevice2KHR is the system's.
    if (createInfo->vulkanPhysicalDevice == VK_NULL_HANDLE ||
        createInfo->vulkanPhysicalDevice != state->physicalDevice) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    const auto create = reinterpret_cast<PFN_vkCreateDevice>(
        createInfo->pfnGetInstanceProcAddr(state->vulkanInstance, "vkCreateDevice"));
    if (create == nullptr) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    *vulkanResult = create(createInfo->vulkanPhysicalDevice, createInfo->vulkanCreateInfo,
                           createInfo->vulkanAllocator, vulkanDevice);
    return *vulkanResult == VK_SUCCESS ? XR_SUCCESS : XR_ERROR_RUNTIME_FAILURE;
}

}  // namespace standin
