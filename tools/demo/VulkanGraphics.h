#pragma once

#include <openxr/openxr.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace demo {

// A failure of the Vulkan set-up or of a clear, with the call that failed.
struct GraphicsFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The smallest real graphics client a compositor accepts: a Vulkan instance and device made
// through XR_KHR_vulkan_enable2, and swapchain images cleared to one colour each frame. The demo
// draws nothing; what matters is that the runtime composes real frames with the submitted poses.
class VulkanGraphics {
public:
    static bool Available();  // false where the demo was built without Vulkan
    static const char* ExtensionName();

    // Creates the Vulkan instance and device the runtime asks for on `system`.
    static std::unique_ptr<VulkanGraphics> Create(XrInstance instance, XrSystemId system);
    virtual ~VulkanGraphics() = default;

    // The XrGraphicsBindingVulkan2KHR that goes into the session's create info.
    virtual const void* SessionBinding() const = 0;
    // The format to ask the swapchain for, among those the runtime offers.
    virtual int64_t ChooseFormat(const std::vector<int64_t>& offered) const = 0;
    // Takes the images of the swapchain; returns how many there are.
    virtual uint32_t TakeImages(XrSwapchain swapchain) = 0;
    // Clears the acquired image `index` and leaves it as the runtime expects it back.
    virtual void Clear(uint32_t index) = 0;
};

}  // namespace demo
