#include "tools/demo/VulkanGraphics.h"

#include <vulkan/vulkan.h>
// The platform header reads the Vulkan types declared above.
#define XR_USE_GRAPHICS_API_VULKAN
#include <openxr/openxr_platform.h>

#include <algorithm>
#include <array>

namespace demo {
namespace {

// A dark slate, so that a compositor's picture tells the application's frame from its black.
constexpr VkClearColorValue kClearColour = {{0.18f, 0.22f, 0.30f, 1.0f}};
constexpr uint64_t kFenceTimeoutNs = 2'000'000'000;

void CheckXr(XrResult result, const char* call) {
    if (XR_FAILED(result)) {
        throw GraphicsFailure(std::string(call) + " failed: XrResult " +
                              std::to_string(static_cast<int>(result)));
    }
}

void CheckVk(VkResult result, const char* call) {
    if (result != VK_SUCCESS) {
        throw GraphicsFailure(std::string(call) + " failed: VkResult " +
                              std::to_string(static_cast<int>(result)));
    }
}

template <typename Function>
Function XrFunction(XrInstance instance, const char* name) {
    PFN_xrVoidFunction function = nullptr;
    CheckXr(xrGetInstanceProcAddr(instance, name, &function), name);
    return reinterpret_cast<Function>(function);
}

class VulkanGraphicsImpl final : public VulkanGraphics {
public:
    // Apart from construction, so that the destructor cleans up after a failure half-way.
    void Initialise(XrInstance instance, XrSystemId system) {
        auto getRequirements = XrFunction<PFN_xrGetVulkanGraphicsRequirements2KHR>(
            instance, "xrGetVulkanGraphicsRequirements2KHR");
        auto createInstance =
            XrFunction<PFN_xrCreateVulkanInstanceKHR>(instance, "xrCreateVulkanInstanceKHR");
        auto getDevice = XrFunction<PFN_xrGetVulkanGraphicsDevice2KHR>(
            instance, "xrGetVulkanGraphicsDevice2KHR");
        auto createDevice =
            XrFunction<PFN_xrCreateVulkanDeviceKHR>(instance, "xrCreateVulkanDeviceKHR");

        // The runtime must be asked for its requirements before the device is made.
        XrGraphicsRequirementsVulkan2KHR requirements{XR_TYPE_GRAPHICS_REQUIREMENTS_VULKAN2_KHR};
        CheckXr(getRequirements(instance, system, &requirements),
                "xrGetVulkanGraphicsRequirements2KHR");

        VkApplicationInfo application{VK_STRUCTURE_TYPE_APPLICATION_INFO};
        application.pApplicationName = "tarvex-demo";
        application.apiVersion = VK_API_VERSION_1_1;
        VkInstanceCreateInfo instanceInfo{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
        instanceInfo.pApplicationInfo = &application;
        XrVulkanInstanceCreateInfoKHR xrInstanceInfo{XR_TYPE_VULKAN_INSTANCE_CREATE_INFO_KHR};
        xrInstanceInfo.systemId = system;
        xrInstanceInfo.pfnGetInstanceProcAddr = &vkGetInstanceProcAddr;
        xrInstanceInfo.vulkanCreateInfo = &instanceInfo;
        VkResult vkResult = VK_SUCCESS;
        CheckXr(createInstance(instance, &xrInstanceInfo, &vkInstance_, &vkResult),
                "xrCreateVulkanInstanceKHR");
        CheckVk(vkResult, "vkCreateInstance (through xrCreateVulkanInstanceKHR)");

        XrVulkanGraphicsDeviceGetInfoKHR deviceGetInfo{XR_TYPE_VULKAN_GRAPHICS_DEVICE_GET_INFO_KHR};
        deviceGetInfo.systemId = system;
        deviceGetInfo.vulkanInstance = vkInstance_;
        CheckXr(getDevice(instance, &deviceGetInfo, &physicalDevice_),
                "xrGetVulkanGraphicsDevice2KHR");

        queueFamily_ = GraphicsQueueFamily();
        const float priority = 1.0f;
        VkDeviceQueueCreateInfo queueInfo{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
        queueInfo.queueFamilyIndex = queueFamily_;
        queueInfo.queueCount = 1;
        queueInfo.pQueuePriorities = &priority;
        VkDeviceCreateInfo deviceInfo{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO};
        deviceInfo.queueCreateInfoCount = 1;
        deviceInfo.pQueueCreateInfos = &queueInfo;
        XrVulkanDeviceCreateInfoKHR xrDeviceInfo{XR_TYPE_VULKAN_DEVICE_CREATE_INFO_KHR};
        xrDeviceInfo.systemId = system;
        xrDeviceInfo.pfnGetInstanceProcAddr = &vkGetInstanceProcAddr;
        xrDeviceInfo.vulkanPhysicalDevice = physicalDevice_;
        xrDeviceInfo.vulkanCreateInfo = &deviceInfo;
        CheckXr(createDevice(instance, &xrDeviceInfo, &device_, &vkResult),
                "xrCreateVulkanDeviceKHR");
        CheckVk(vkResult, "vkCreateDevice (through xrCreateVulkanDeviceKHR)");
        vkGetDeviceQueue(device_, queueFamily_, 0, &queue_);

        VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
        poolInfo.queueFamilyIndex = queueFamily_;
        CheckVk(vkCreateCommandPool(device_, &poolInfo, nullptr, &pool_), "vkCreateCommandPool");
        VkCommandBufferAllocateInfo bufferInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
        bufferInfo.commandPool = pool_;
        bufferInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
        bufferInfo.commandBufferCount = 1;
        CheckVk(vkAllocateCommandBuffers(device_, &bufferInfo, &commands_),
                "vkAllocateCommandBuffers");
        VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
        CheckVk(vkCreateFence(device_, &fenceInfo, nullptr, &fence_), "vkCreateFence");

        binding_.instance = vkInstance_;
        binding_.physicalDevice = physicalDevice_;
        binding_.device = device_;
        binding_.queueFamilyIndex = queueFamily_;
        binding_.queueIndex = 0;
    }

    ~VulkanGraphicsImpl() override {
        if (device_ != VK_NULL_HANDLE) {
            vkDeviceWaitIdle(device_);
            if (fence_ != VK_NULL_HANDLE) {
                vkDestroyFence(device_, fence_, nullptr);
            }
            if (pool_ != VK_NULL_HANDLE) {
                vkDestroyCommandPool(device_, pool_, nullptr);
            }
            vkDestroyDevice(device_, nullptr);
        }
        if (vkInstance_ != VK_NULL_HANDLE) {
            vkDestroyInstance(vkInstance_, nullptr);
        }
    }

    const void* SessionBinding() const override { return &binding_; }

    int64_t ChooseFormat(const std::vector<int64_t>& offered) const override {
        // An sRGB colour format when there is one, as the runtime then shows the clear colour
        // unchanged; otherwise the runtime's first choice.
        for (const int64_t wanted : {VK_FORMAT_R8G8B8A8_SRGB, VK_FORMAT_B8G8R8A8_SRGB}) {
            if (std::find(offered.begin(), offered.end(), wanted) != offered.end()) {
                return wanted;
            }
        }
        return offered.front();
    }

    uint32_t TakeImages(XrSwapchain swapchain) override {
        uint32_t count = 0;
        CheckXr(xrEnumerateSwapchainImages(swapchain, 0, &count, nullptr),
                "xrEnumerateSwapchainImages");
        std::vector<XrSwapchainImageVulkan2KHR> images(count,
                                                       {XR_TYPE_SWAPCHAIN_IMAGE_VULKAN2_KHR});
        CheckXr(xrEnumerateSwapchainImages(
                    swapchain, count, &count,
                    reinterpret_cast<XrSwapchainImageBaseHeader*>(images.data())),
                "xrEnumerateSwapchainImages");
        images_.clear();
        for (const XrSwapchainImageVulkan2KHR& image : images) {
            images_.push_back(image.image);
        }
        return count;
    }

    void Clear(uint32_t index) override {
        if (index >= images_.size()) {
            throw GraphicsFailure("the runtime acquired an image it did not enumerate");
        }
        CheckVk(vkResetCommandBuffer(commands_, 0), "vkResetCommandBuffer");
        VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        CheckVk(vkBeginCommandBuffer(commands_, &begin), "vkBeginCommandBuffer");

        const VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
        // The whole image is overwritten, so its earlier contents need not be kept.
        VkImageMemoryBarrier toClear{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER};
        toClear.srcAccessMask = 0;
        toClear.dstAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
        toClear.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
        toClear.newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
        toClear.srcQueueFamilyIndex = toClear.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
        toClear.image = images_[index];
        toClear.subresourceRange = range;
        vkCmdPipelineBarrier(commands_, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
                             VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0, nullptr, 1,
                             &toClear);
        vkCmdClearColorImage(commands_, images_[index], VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                             &kClearColour, 1, &range);
        // A colour swapchain image goes back in the colour-attachment layout it was acquired in.
        VkImageMemoryBarrier toRuntime = toClear;
        toRuntime.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
        toRuntime.dstAccessMask = VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
        toRuntime.oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
        toRuntime.newLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        vkCmdPipelineBarrier(commands_, VK_PIPELINE_STAGE_TRANSFER_BIT,
                             VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0, 0, nullptr, 0,
                             nullptr, 1, &toRuntime);
        CheckVk(vkEndCommandBuffer(commands_), "vkEndCommandBuffer");

        VkSubmitInfo submit{VK_STRUCTURE_TYPE_SUBMIT_INFO};
        submit.commandBufferCount = 1;
        submit.pCommandBuffers = &commands_;
        CheckVk(vkQueueSubmit(queue_, 1, &submit, fence_), "vkQueueSubmit");
        CheckVk(vkWaitForFences(device_, 1, &fence_, VK_TRUE, kFenceTimeoutNs), "vkWaitForFences");
        CheckVk(vkResetFences(device_, 1, &fence_), "vkResetFences");
    }

private:
    uint32_t GraphicsQueueFamily() const {
        uint32_t count = 0;
        vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice_, &count, nullptr);
        std::vector<VkQueueFamilyProperties> families(count);
        vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice_, &count, families.data());
        for (uint32_t i = 0; i < count; ++i) {
            if ((families[i].queueFlags & VK_QUEUE_GRAPHICS_BIT) != 0) {
                return i;
            }
        }
        throw GraphicsFailure("the runtime's Vulkan device has no graphics queue");
    }

    VkInstance vkInstance_ = VK_NULL_HANDLE;
    VkPhysicalDevice physicalDevice_ = VK_NULL_HANDLE;
    VkDevice device_ = VK_NULL_HANDLE;
    VkQueue queue_ = VK_NULL_HANDLE;
    uint32_t queueFamily_ = 0;
    VkCommandPool pool_ = VK_NULL_HANDLE;
    VkCommandBuffer commands_ = VK_NULL_HANDLE;
    VkFence fence_ = VK_NULL_HANDLE;
    std::vector<VkImage> images_;
    XrGraphicsBindingVulkan2KHR binding_{XR_TYPE_GRAPHICS_BINDING_VULKAN2_KHR};
};

}  // namespace

bool VulkanGraphics::Available() {
    return true;
}

const char* VulkanGraphics::ExtensionName() {
    return XR_KHR_VULKAN_ENABLE2_EXTENSION_NAME;
}

std::unique_ptr<VulkanGraphics> VulkanGraphics::Create(XrInstance instance, XrSystemId system) {
    auto graphics = std::make_unique<VulkanGraphicsImpl>();
    graphics->Initialise(instance, system);
    return graphics;
}

}  // namespace demo
