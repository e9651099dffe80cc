#pragma once

#include <vulkan/vulkan.h>
// The Vulkan bindings of OpenXR are declared only after Vulkan's own header.
#include <openxr/openxr.h>
#include <openxr/openxr_platform.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace standin {

class SwapchainImages;

// The application's Vulkan device, as the session's graphics binding names it, and the runtime's
// work on it: swapchain images, their layout changes and reading them back. Every call comes on
// the application's thread, inside an OpenXR call, which is where the extension lets a runtime
// use the application's queue.
class VulkanSession : public std::enable_shared_from_this<VulkanSession> {
public:
    // Checks the binding against the physical device the runtime handed out; nullptr and the
    // OpenXR error when it does not fit.
    static std::shared_ptr<VulkanSession> Create(const XrGraphicsBindingVulkanKHR& binding,
                                                 VkPhysicalDevice expectedPhysicalDevice,
                                                 XrResult& result);
    ~VulkanSession();
    VulkanSession(const VulkanSession&) = delete;
    VulkanSession& operator=(const VulkanSession&) = delete;

    // The formats offered, in order of preference, among those the device can render to.
    std::vector<int64_t> SwapchainFormats() const;

    // Images ready for their first acquisition: in the layout an acquired image has, owned by the
    // application's queue.
    XrResult CreateSwapchainImages(const XrSwapchainCreateInfo& info, uint32_t count,
                                   std::unique_ptr<SwapchainImages>& images);

    // Copies `rect` of one array layer of a released color image into 8-bit RGB rows, top row
    // first, and leaves the image in the layout it had. False for formats it cannot convert or
    // when the device fails.
    bool ReadBack(const SwapchainImages& images, uint32_t index, uint32_t arrayLayer,
                  const XrRect2Di& rect, std::vector<uint8_t>& rgb);

private:
    friend class SwapchainImages;
    VulkanSession() = default;

    bool Initialise(const XrGraphicsBindingVulkanKHR& binding);
    uint32_t MemoryTypeFor(uint32_t allowedTypes, VkMemoryPropertyFlags wanted) const;
    // Records into the session's one command buffer; Submit runs it on the application's queue and
    // waits until it is done.
    bool Begin();
    bool Submit();

    VkPhysicalDevice physicalDevice_ = VK_NULL_HANDLE;
    VkDevice device_ = VK_NULL_HANDLE;
    VkQueue queue_ = VK_NULL_HANDLE;
    uint32_t queueFamily_ = 0;
    VkPhysicalDeviceMemoryProperties memory_{};
    VkCommandPool commandPool_ = VK_NULL_HANDLE;
    VkCommandBuffer commands_ = VK_NULL_HANDLE;
    VkFence fence_ = VK_NULL_HANDLE;
};

// The images of one swapchain, destroyed with it.
class SwapchainImages {
public:
    ~SwapchainImages();
    SwapchainImages(const SwapchainImages&) = delete;
    SwapchainImages& operator=(const SwapchainImages&) = delete;

    const std::vector<VkImage>& Images() const { return images_; }
    VkFormat Format() const { return format_; }

private:
    friend class VulkanSession;
    SwapchainImages() = default;

    std::shared_ptr<VulkanSession> session_;
    VkFormat format_ = VK_FORMAT_UNDEFINED;
    VkImageAspectFlags aspect_ = 0;
    VkImageLayout layout_ = VK_IMAGE_LAYOUT_UNDEFINED;  // between release and acquisition
    uint32_t layers_ = 1;
    std::vector<VkImage> images_;
    std::vector<VkDeviceMemory> memory_;
};

}  // namespace standin
