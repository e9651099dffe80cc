// The demo built without Vulkan (Windows here): sessions stay headless.

#include "tools/demo/VulkanGraphics.h"

namespace demo {

bool VulkanGraphics::Available() {
    return false;
}

const char* VulkanGraphics::ExtensionName() {
    return "XR_KHR_vulkan_enable2";
}

std::unique_ptr<VulkanGraphics> VulkanGraphics::Create(XrInstance, XrSystemId) {
    throw GraphicsFailure("this tarvex-demo was built without Vulkan");
}

}  // namespace demo
