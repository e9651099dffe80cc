#include <algorithm>
#include <cstdio>
#include <string>

#include "standins/runtime/FrameCapture.h"

// Without a graphics API every swapchain is headless: a chosen frame has no image to save, which
// is reported as the Vulkan build reports a capture it cannot make.
namespace standin {

void CaptureFrame(const StandinConfig& config, uint32_t frameNumber,
                  const XrFrameEndInfo& endInfo) {
    if (config.captureDirectory.empty() ||
        !std::binary_search(config.captureFrames.begin(), config.captureFrames.end(),
                            frameNumber)) {
        return;
    }
    for (uint32_t i = 0; i < endInfo.layerCount; ++i) {
        if (endInfo.layers[i]->type == XR_TYPE_COMPOSITION_LAYER_PROJECTION) {
            std::fprintf(stderr,
                         "tarvex stand-in runtime: could not save frame %u: this build renders "
                         "no images\n",
                         frameNumber);
            return;
        }
    }
}

}  // namespace standin
