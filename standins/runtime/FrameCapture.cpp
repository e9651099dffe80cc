#include "standins/runtime/FrameCapture.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "standins/runtime/PngWriter.h"
#include "standins/runtime/Recorder.h"
#include "standins/runtime/RuntimeObjects.h"

namespace standin {
namespace {

const XrCompositionLayerProjection* FirstProjectionLayer(const XrFrameEndInfo& endInfo) {
    for (uint32_t i = 0; i < endInfo.layerCount; ++i) {
        if (endInfo.layers[i]->type == XR_TYPE_COMPOSITION_LAYER_PROJECTION) {
            return reinterpret_cast<const XrCompositionLayerProjection*>(endInfo.layers[i]);
        }
    }
    return nullptr;
}

bool CaptureView(const XrCompositionLayerProjectionView& view, const std::string& path) {
    const Swapchain* swapchain = FindSwapchain(view.subImage.swapchain);
    const Session* session = swapchain != nullptr ? FindSession(swapchain->session) : nullptr;
    if (session == nullptr || session->vulkan == nullptr || swapchain->images == nullptr) {
        return false;
    }
    std::vector<uint8_t> rgb;
    const XrRect2Di& rect = view.subImage.imageRect;
    return session->vulkan->ReadBack(*swapchain->images, swapchain->lastReleased,
                                     view.subImage.imageArrayIndex, rect, rgb) &&
           WriteRgbPng(path, static_cast<uint32_t>(rect.extent.width),
                       static_cast<uint32_t>(rect.extent.height), rgb);
}

}  // namespace

void CaptureFrame(const StandinConfig& config, uint32_t frameNumber,
                  const XrFrameEndInfo& endInfo) {
    if (config.captureDirectory.empty() ||
        !std::binary_search(config.captureFrames.begin(), config.captureFrames.end(),
                            frameNumber)) {
        return;
    }
    const XrCompositionLayerProjection* layer = FirstProjectionLayer(endInfo);
    if (layer == nullptr) {
        return;
    }
    const char* const kSides[] = {"left", "right"};
    for (uint32_t i = 0; i < 2 && i < layer->viewCount; ++i) {
        const std::string path = config.captureDirectory + "/frame-" + std::to_string(frameNumber) +
                                 "-" + kSides[i] + ".png";
        if (CaptureView(layer->views[i], path)) {
            TheRecorder().CapturedView(frameNumber, i, endInfo.displayTime, path);
        } else {
            std::fprintf(stderr, "tarvex stand-in runtime: could not save %s\n", path.c_str());
        }
    }
}

}  // namespace standin
