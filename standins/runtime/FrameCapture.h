#pragma once

#include <openxr/openxr.h>

#include <cstdint>

#include "standins/runtime/StandinConfig.h"

namespace standin {

// Saves what the application submitted in a chosen frame: each view of the frame's first
// projection layer as "frame-<number>-left.png" and "frame-<number>-right.png" in the capture
// folder, read back from the swapchain image the view shows. Frames are numbered from 1 in each
// running session. Headless swapchains have nothing to save.
void CaptureFrame(const StandinConfig& config, uint32_t frameNumber, const XrFrameEndInfo& endInfo);

}  // namespace standin
