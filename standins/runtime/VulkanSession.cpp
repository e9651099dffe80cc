#include "standins/runtime/VulkanSession.h"

#include <cstring>

namespace standin {
namespace {

// Offered in this order; applications take the first they know.
constexpr VkFormat kColorFormats[] = {VK_FORMAT_R8G8B8A8_SRGB, VK_FORMAT_B8G8R8A8_SRGB,
                                      VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_B8G8R8A8_UNORM};
constexpr VkFormat kDepthFormats[] = {VK_FORMAT_D32_SFLOAT, VK_FORMAT_D16_UNORM};

bool IsDepthFormat(VkFormat format) {
    for (const VkFormat depth : kDepthFormats) {
        if (depth == format) {
            return true;
        }
    }
    return false;
}

bool IsOfferedFormat(int64_t format) {
    for (const VkFormat color : kColorFormats) {
        if (color == format) {
            return true;
        }
    }
    return IsDepthFormat(static_cast<VkFormat>(format));
}

VkImageUsageFlags UsageOf(XrSwapchainUsageFlags usage) {
    VkImageUsageFlags flags = 0;
    const std::pair<XrSwapchainUsageFlags, VkImageUsageFlags> kMapping[] = {
        {XR_SWAPCHAIN_USAGE_COLOR_ATTACHMENT_BIT, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT},
        {XR_SWAPCHAIN_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT,
         VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT},
        {XR_SWAPCHAIN_USAGE_UNORDERED_ACCESS_BIT, VK_IMAGE_USAGE_STORAGE_BIT},
        {XR_SWAPCHAIN_USAGE_TRANSFER_SRC_BIT, VK_IMAGE_USAGE_TRANSFER_SRC_BIT},
        {XR_SWAPCHAIN_USAGE_TRANSFER_DST_BIT, VK_IMAGE_USAGE_TRANSFER_DST_BIT},
        {XR_SWAPCHAIN_USAGE_SAMPLED_BIT, VK_IMAGE_USAGE_SAMPLED_BIT},
    };
    for (const auto& [xr, vk] : kMapping) {
        if ((usage & xr) != 0) {
            flags |= vk;
        }
    }
    return flags;
}

VkImageMemoryBarrier LayoutBarrier(VkImage image, VkImageAspectFlags aspect, uint32_t firstLayer,
                                   uint32_t layers, VkImageLayout from, VkImageLayout to,
                                   VkAccessFlags srcAccess, VkAccessFlags dstAccess) {
    VkImageMemoryBarrier barrier{};
    barrier.sType = VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER;
    barrier.srcAccessMask = srcAccess;
    barrier.dstAccessMask = dstAccess;
    barrier.oldLayout = from;
    barrier.newLayout = to;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = {aspect, 0, VK_REMAINING_MIP_LEVELS, firstLayer, layers};
    return barrier;
}

// What the application may have done to an attachment it hands back.
VkAccessFlags AttachmentAccess(VkImageAspectFlags aspect) {
    return aspect == VK_IMAGE_ASPECT_COLOR_BIT
               ? VK_ACCESS_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT
               : VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT |
                     VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT;
}

}  // namespace

std::shared_ptr<VulkanSession> VulkanSession::Create(const XrGraphicsBindingVulkanKHR& binding,
                                                     VkPhysicalDevice expectedPhysicalDevice,
                                                     XrResult& result) {
    if (binding.instance == VK_NULL_HANDLE || binding.device == VK_NULL_HANDLE ||
        binding.physicalDevice == VK_NULL_HANDLE ||
        binding.physicalDevice != expectedPhysicalDevice) {
        result = XR_ERROR_GRAPHICS_DEVICE_INVALID;
        return nullptr;
    }
    std::shared_ptr<VulkanSession> session(new VulkanSession());
    if (!session->Initialise(binding)) {
        result = XR_ERROR_GRAPHICS_DEVICE_INVALID;
        return nullptr;
    }
    result = XR_SUCCESS;
    return session;
}

bool VulkanSession::Initialise(const XrGraphicsBindingVulkanKHR& binding) {
    physicalDevice_ = binding.physicalDevice;
    device_ = binding.device;
    uint32_t families = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice_, &families, nullptr);
    if (binding.queueFamilyIndex >= families) {
        return false;
    }
    queueFamily_ = binding.queueFamilyIndex;
    vkGetDeviceQueue(device_, queueFamily_, binding.queueIndex, &queue_);
    vkGetPhysicalDeviceMemoryProperties(physicalDevice_, &memory_);

    VkCommandPoolCreateInfo poolInfo{};
    poolInfo.sType = VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO;
    poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
    poolInfo.queueFamilyIndex = queueFamily_;
    if (queue_ == VK_NULL_HANDLE ||
        vkCreateCommandPool(device_, &poolInfo, nullptr, &commandPool_) != VK_SUCCESS) {
        return false;
    }
    VkCommandBufferAllocateInfo bufferInfo{};
    bufferInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
    bufferInfo.commandPool = commandPool_;
    bufferInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    bufferInfo.commandBufferCount = 1;
    VkFenceCreateInfo fenceInfo{};
    fenceInfo.sType = VK_STRUCTURE_TYPE_FENCE_CREATE_INFO;
    return vkAllocateCommandBuffers(device_, &bufferInfo, &commands_) == VK_SUCCESS &&
           vkCreateFence(device_, &fenceInfo, nullptr, &fence_) == VK_SUCCESS;
}

VulkanSession::~VulkanSession() {
    if (fence_ != VK_NULL_HANDLE) {
        vkDestroyFence(device_, fence_, nullptr);
    }
    if (commandPool_ != VK_NULL_HANDLE) {
        vkDestroyCommandPool(device_, commandPool_, nullptr);
    }
}

std::vector<int64_t> VulkanSession::SwapchainFormats() const {
    std::vector<int64_t> formats;
    const auto offer = [&](VkFormat format, VkFormatFeatureFlags needed) {
        VkFormatProperties properties{};
        vkGetPhysicalDeviceFormatProperties(physicalDevice_, format, &properties);
        if ((properties.optimalTilingFeatures & needed) == needed) {
            formats.push_back(format);
        }
    };
    for (const VkFormat format : kColorFormats) {
        offer(format, VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT | VK_FORMAT_FEATURE_TRANSFER_SRC_BIT);
    }
    for (const VkFormat format : kDepthFormats) {
        offer(format, VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT);
    }
    return formats;
}

uint32_t VulkanSession::MemoryTypeFor(uint32_t allowedTypes, VkMemoryPropertyFlags wanted) const {
    for (uint32_t i = 0; i < memory_.memoryTypeCount; ++i) {
        if ((allowedTypes & (1u << i)) != 0 &&
            (memory_.memoryTypes[i].propertyFlags & wanted) == wanted) {
            return i;
        }
    }
    return UINT32_MAX;
}

bool VulkanSession::Begin() {
    VkCommandBufferBeginInfo beginInfo{};
    beginInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
    beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    return vkResetCommandBuffer(commands_, 0) == VK_SUCCESS &&
           vkBeginCommandBuffer(commands_, &beginInfo) == VK_SUCCESS;
}

bool VulkanSession::Submit() {
    if (vkEndCommandBuffer(commands_) != VK_SUCCESS) {
        return false;
    }
    VkSubmitInfo submit{};
    submit.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
    submit.commandBufferCount = 1;
    submit.pCommandBuffers = &commands_;
    if (vkQueueSubmit(queue_, 1, &submit, fence_) != VK_SUCCESS) {
        return false;
    }
    const bool done = vkWaitForFences(device_, 1, &fence_, VK_TRUE, UINT64_MAX) == VK_SUCCESS;
    return vkResetFences(device_, 1, &fence_) == VK_SUCCESS && done;
}

XrResult VulkanSession::CreateSwapchainImages(const XrSwapchainCreateInfo& info, uint32_t count,
                                              std::unique_ptr<SwapchainImages>& images) {
    if (!IsOfferedFormat(info.format)) {
        return XR_ERROR_SWAPCHAIN_FORMAT_UNSUPPORTED;
    }
    const auto format = static_cast<VkFormat>(info.format);
    const bool depth = IsDepthFormat(format);
    if ((info.usageFlags & (depth ? XR_SWAPCHAIN_USAGE_COLOR_ATTACHMENT_BIT
                                  : XR_SWAPCHAIN_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT)) != 0) {
        return XR_ERROR_FEATURE_UNSUPPORTED;
    }
    std::unique_ptr<SwapchainImages> created(new SwapchainImages());
    created->session_ = shared_from_this();
    created->format_ = format;
    created->aspect_ = depth ? VK_IMAGE_ASPECT_DEPTH_BIT : VK_IMAGE_ASPECT_COLOR_BIT;
    // The layout the extension promises at acquisition; the attachment usage it needs and the
    // runtime's own reading back are always added.
    created->layout_ = depth ? VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL
                             : VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    created->layers_ = info.arraySize * info.faceCount;

    VkImageCreateInfo imageInfo{};
    imageInfo.sType = VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO;
    imageInfo.flags = (info.faceCount == 6 ? VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT : 0) |
                      ((info.usageFlags & XR_SWAPCHAIN_USAGE_MUTABLE_FORMAT_BIT) != 0
                           ? VK_IMAGE_CREATE_MUTABLE_FORMAT_BIT
                           : 0);
    imageInfo.imageType = VK_IMAGE_TYPE_2D;
    imageInfo.format = format;
    imageInfo.extent = {info.width, info.height, 1};
    imageInfo.mipLevels = info.mipCount;
    imageInfo.arrayLayers = created->layers_;
    imageInfo.samples = static_cast<VkSampleCountFlagBits>(info.sampleCount);
    imageInfo.tiling = VK_IMAGE_TILING_OPTIMAL;
    imageInfo.usage =
        UsageOf(info.usageFlags) | VK_IMAGE_USAGE_TRANSFER_SRC_BIT |
        (depth ? VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT : VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT);
    imageInfo.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    imageInfo.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;

    for (uint32_t i = 0; i < count; ++i) {
        VkImage image = VK_NULL_HANDLE;
        if (vkCreateImage(device_, &imageInfo, nullptr, &image) != VK_SUCCESS) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        created->images_.push_back(image);
        VkMemoryRequirements requirements{};
        vkGetImageMemoryRequirements(device_, image, &requirements);
        VkMemoryAllocateInfo allocation{};
        allocation.sType = VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO;
        allocation.allocationSize = requirements.size;
        allocation.memoryTypeIndex =
            MemoryTypeFor(requirements.memoryTypeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
        if (allocation.memoryTypeIndex == UINT32_MAX) {
            allocation.memoryTypeIndex = MemoryTypeFor(requirements.memoryTypeBits, 0);
        }
        VkDeviceMemory memory = VK_NULL_HANDLE;
        if (allocation.memoryTypeIndex == UINT32_MAX ||
            vkAllocateMemory(device_, &allocation, nullptr, &memory) != VK_SUCCESS) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
        created->memory_.push_back(memory);
        if (vkBindImageMemory(device_, image, memory, 0) != VK_SUCCESS) {
            return XR_ERROR_RUNTIME_FAILURE;
        }
    }

    if (!Begin()) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    std::vector<VkImageMemoryBarrier> barriers;
    for (const VkImage image : created->images_) {
        barriers.push_back(LayoutBarrier(image, created->aspect_, 0, created->layers_,
                                         VK_IMAGE_LAYOUT_UNDEFINED, created->layout_, 0,
                                         AttachmentAccess(created->aspect_)));
    }
    vkCmdPipelineBarrier(commands_, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
                         VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, 0, 0, nullptr, 0, nullptr,
                         static_cast<uint32_t>(barriers.size()), barriers.data());
    if (!Submit()) {
        return XR_ERROR_RUNTIME_FAILURE;
    }
    images = std::move(created);
    return XR_SUCCESS;
}

bool VulkanSession::ReadBack(const SwapchainImages& images, uint32_t index, uint32_t arrayLayer,
                             const XrRect2Di& rect, std::vector<uint8_t>& rgb) {
    const VkFormat format = images.format_;
    const bool bgra = format == VK_FORMAT_B8G8R8A8_SRGB || format == VK_FORMAT_B8G8R8A8_UNORM;
    const bool rgba = format == VK_FORMAT_R8G8B8A8_SRGB || format == VK_FORMAT_R8G8B8A8_UNORM;
    if ((!bgra && !rgba) || index >= images.images_.size() || arrayLayer >= images.layers_ ||
        rect.extent.width <= 0 || rect.extent.height <= 0) {
        return false;
    }
    const auto width = static_cast<uint32_t>(rect.extent.width);
    const auto height = static_cast<uint32_t>(rect.extent.height);
    const VkDeviceSize size = VkDeviceSize{width} * height * 4;

    VkBufferCreateInfo bufferInfo{};
    bufferInfo.sType = VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO;
    bufferInfo.size = size;
    bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_DST_BIT;
    bufferInfo.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    VkBuffer buffer = VK_NULL_HANDLE;
    if (vkCreateBuffer(device_, &bufferInfo, nullptr, &buffer) != VK_SUCCESS) {
        return false;
    }
    VkMemoryRequirements requirements{};
    vkGetBufferMemoryRequirements(device_, buffer, &requirements);
    VkMemoryAllocateInfo allocation{};
    allocation.sType = VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO;
    allocation.allocationSize = requirements.size;
    allocation.memoryTypeIndex =
        MemoryTypeFor(requirements.memoryTypeBits,
                      VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    VkDeviceMemory memory = VK_NULL_HANDLE;
    bool ok = allocation.memoryTypeIndex != UINT32_MAX &&
              vkAllocateMemory(device_, &allocation, nullptr, &memory) == VK_SUCCESS &&
              vkBindBufferMemory(device_, buffer, memory, 0) == VK_SUCCESS && Begin();
    if (ok) {
        const VkImage image = images.images_[index];
        // The application released the image in the attachment layout, its rendering submitted
        // to this queue before: the barrier orders the copy after it, and the image goes back to
        // that layout for its next acquisition.
        const VkImageMemoryBarrier toCopy =
            LayoutBarrier(image, VK_IMAGE_ASPECT_COLOR_BIT, arrayLayer, 1, images.layout_,
                          VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                          AttachmentAccess(VK_IMAGE_ASPECT_COLOR_BIT), VK_ACCESS_TRANSFER_READ_BIT);
        vkCmdPipelineBarrier(commands_, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT,
                             VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0, nullptr, 1, &toCopy);
        VkBufferImageCopy region{};
        region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, arrayLayer, 1};
        region.imageOffset = {rect.offset.x, rect.offset.y, 0};
        region.imageExtent = {width, height, 1};
        vkCmdCopyImageToBuffer(commands_, image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, buffer, 1,
                               &region);
        const VkImageMemoryBarrier back = LayoutBarrier(
            image, VK_IMAGE_ASPECT_COLOR_BIT, arrayLayer, 1, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
            images.layout_, 0, AttachmentAccess(VK_IMAGE_ASPECT_COLOR_BIT));
        VkBufferMemoryBarrier toHost{};
        toHost.sType = VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER;
        toHost.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
        toHost.dstAccessMask = VK_ACCESS_HOST_READ_BIT;
        toHost.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
        toHost.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
        toHost.buffer = buffer;
        toHost.size = VK_WHOLE_SIZE;
        vkCmdPipelineBarrier(commands_, VK_PIPELINE_STAGE_TRANSFER_BIT,
                             VK_PIPELINE_STAGE_ALL_COMMANDS_BIT | VK_PIPELINE_STAGE_HOST_BIT, 0, 0,
                             nullptr, 1, &toHost, 1, &back);
        ok = Submit();
    }
    void* mapped = nullptr;
    if (ok && vkMapMemory(device_, memory, 0, size, 0, &mapped) == VK_SUCCESS) {
        const auto* pixels = static_cast<const uint8_t*>(mapped);
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
            rgb[i * 3 + 0] = pixels[i * 4 + (bgra ? 2 : 0)];
            rgb[i * 3 + 1] = pixels[i * 4 + 1];
            rgb[i * 3 + 2] = pixels[i * 4 + (bgra ? 0 : 2)];
        }
        vkUnmapMemory(device_, memory);
    } else {
        ok = false;
    }
    vkDestroyBuffer(device_, buffer, nullptr);
    if (memory != VK_NULL_HANDLE) {
        vkFreeMemory(device_, memory, nullptr);
    }
    return ok;
}

SwapchainImages::~SwapchainImages() {
    if (!session_) {
        return;
    }
    const VkDevice device = session_->device_;
    // The application's last frames may still be in flight on its queue.
    vkQueueWaitIdle(session_->queue_);
    for (const VkImage image : images_) {
        vkDestroyImage(device, image, nullptr);
    }
    for (const VkDeviceMemory memory : memory_) {
        vkFreeMemory(device, memory, nullptr);
    }
}

}  // namespace standin
