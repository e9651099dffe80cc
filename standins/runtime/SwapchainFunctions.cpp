#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "standins/runtime/Functions.h"
#include "standins/runtime/RuntimeObjects.h"
#include "standins/runtime/StructureChecks.h"

namespace standin {
namespace {

constexpr int64_t kFormats[] = {kSwapchainFormat};
constexpr uint32_t kMaxImageSize = 4096;

#ifdef XR_USE_GRAPHICS_API_VULKAN
XrResult FillFormats(const std::vector<int64_t>& offered, uint32_t capacity, uint32_t* count,
                     int64_t* formats) {
    if (count == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    *count = static_cast<uint32_t>(offered.size());
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (capacity < offered.size()) {
        return XR_ERROR_SIZE_INSUFFICIENT;
    }
    if (formats == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    std::copy(offered.begin(), offered.end(), formats);
    return XR_SUCCESS;
}
#endif

}  // namespace

XrResult XRAPI_CALL EnumerateSwapchainFormats(XrSession session, uint32_t capacity, uint32_t* count,
                                              int64_t* formats) {
    const Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
#ifdef XR_USE_GRAPHICS_API_VULKAN
    if (state->vulkan != nullptr) {
        return FillFormats(state->vulkan->SwapchainFormats(), capacity, count, formats);
    }
#endif
    return FillList(kFormats, capacity, count, formats);
}

XrResult XRAPI_CALL CreateSwapchain(XrSession session, const XrSwapchainCreateInfo* createInfo,
                                    XrSwapchain* swapchain) {
    const Session* owner = FindSession(session);
    if (owner == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || swapchain == nullptr ||
        createInfo->type != XR_TYPE_SWAPCHAIN_CREATE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
#ifdef XR_USE_GRAPHICS_API_VULKAN
    const std::vector<int64_t> offered =
        owner->vulkan != nullptr ? owner->vulkan->SwapchainFormats()
                                 : std::vector<int64_t>(std::begin(kFormats), std::end(kFormats));
#else
    const std::vector<int64_t> offered(std::begin(kFormats), std::end(kFormats));
#endif
    if (std::find(offered.begin(), offered.end(), createInfo->format) == offered.end()) {
        return XR_ERROR_SWAPCHAIN_FORMAT_UNSUPPORTED;
    }
    if ((createInfo->createFlags & XR_SWAPCHAIN_CREATE_PROTECTED_CONTENT_BIT) != 0 ||
        createInfo->sampleCount != 1) {
        return XR_ERROR_FEATURE_UNSUPPORTED;
    }
    if (createInfo->width == 0 || createInfo->height == 0 || createInfo->width > kMaxImageSize ||
        createInfo->height > kMaxImageSize || createInfo->arraySize == 0 ||
        createInfo->mipCount == 0 || (createInfo->faceCount != 1 && createInfo->faceCount != 6)) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    Swapchain created;
    created.session = session;
    created.width = createInfo->width;
    created.height = createInfo->height;
    created.arraySize = createInfo->arraySize;
#ifdef XR_USE_GRAPHICS_API_VULKAN
    if (owner->vulkan != nullptr) {
        std::unique_ptr<SwapchainImages> images;
        if (const XrResult result =
                owner->vulkan->CreateSwapchainImages(*createInfo, kSwapchainImageCount, images);
            XR_FAILED(result)) {
            return result;
        }
        created.images = std::move(images);
    }
#endif
    const XrSwapchain handle = AddSwapchain(std::move(created));
    if (handle == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    *swapchain = handle;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL DestroySwapchain(XrSwapchain swapchain) {
    if (FindSwapchain(swapchain) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    RemoveSwapchain(swapchain);
    return XR_SUCCESS;
}

// A headless session has no real images: the count is reported and the application's structures
// are left as they are.
XrResult XRAPI_CALL EnumerateSwapchainImages(XrSwapchain swapchain, uint32_t capacity,
                                             uint32_t* count, XrSwapchainImageBaseHeader* images) {
    const Swapchain* state = FindSwapchain(swapchain);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (count == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    *count = kSwapchainImageCount;
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (capacity < kSwapchainImageCount) {
        return XR_ERROR_SIZE_INSUFFICIENT;
    }
    if (images == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
#ifdef XR_USE_GRAPHICS_API_VULKAN
    if (state->images == nullptr) {
        return XR_SUCCESS;
    }
    auto* vulkanImages = reinterpret_cast<XrSwapchainImageVulkanKHR*>(images);
    for (uint32_t i = 0; i < kSwapchainImageCount; ++i) {
        if (vulkanImages[i].type != XR_TYPE_SWAPCHAIN_IMAGE_VULKAN_KHR) {
            return XR_ERROR_VALIDATION_FAILURE;
        }
    }
    for (uint32_t i = 0; i < kSwapchainImageCount; ++i) {
        vulkanImages[i].image = state->images->Images()[i];
    }
#endif
    return XR_SUCCESS;
}

XrResult XRAPI_CALL AcquireSwapchainImage(XrSwapchain swapchain,
                                          const XrSwapchainImageAcquireInfo* acquireInfo,
                                          uint32_t* index) {
    Swapchain* state = FindSwapchain(swapchain);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (index == nullptr ||
        (acquireInfo != nullptr && acquireInfo->type != XR_TYPE_SWAPCHAIN_IMAGE_ACQUIRE_INFO)) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (state->acquired == kSwapchainImageCount) {
        return XR_ERROR_CALL_ORDER_INVALID;
    }
    *index = state->nextToAcquire;
    state->nextToAcquire = (state->nextToAcquire + 1) % kSwapchainImageCount;
    ++state->acquired;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL WaitSwapchainImage(XrSwapchain swapchain,
                                       const XrSwapchainImageWaitInfo* waitInfo) {
    Swapchain* state = FindSwapchain(swapchain);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (waitInfo == nullptr || waitInfo->type != XR_TYPE_SWAPCHAIN_IMAGE_WAIT_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    // Only the oldest acquired image may be waited on, and only one at a time.
    if (state->waited != 0 || state->acquired == 0) {
        return XR_ERROR_CALL_ORDER_INVALID;
    }
    state->waited = 1;  // no image is ever busy, so the wait ends at once
    return XR_SUCCESS;
}

XrResult XRAPI_CALL ReleaseSwapchainImage(XrSwapchain swapchain,
                                          const XrSwapchainImageReleaseInfo* releaseInfo) {
    Swapchain* state = FindSwapchain(swapchain);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (releaseInfo != nullptr && releaseInfo->type != XR_TYPE_SWAPCHAIN_IMAGE_RELEASE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (state->waited == 0) {
        return XR_ERROR_CALL_ORDER_INVALID;
    }
    // Images are acquired in turn, so the oldest one held is the one released.
    state->lastReleased =
        (state->nextToAcquire + kSwapchainImageCount - state->acquired) % kSwapchainImageCount;
    state->waited = 0;
    --state->acquired;
    state->everReleased = true;
    return XR_SUCCESS;
}

}  // namespace standin
