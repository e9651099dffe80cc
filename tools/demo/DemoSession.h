#pragma once

#include <openxr/openxr.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/demo/DemoOptions.h"

namespace demo {

// What the application received from one xrLocateViews, stamped with the monotonic time of the
// call.
struct ViewSample {
    double callSeconds = 0.0;
    XrTime displayTime = 0;
    double displaySeconds = 0.0;  // displayTime on the monotonic clock of callSeconds
    XrPosef left{};
    XrPosef right{};
    XrViewStateFlags viewStateFlags = 0;
};

enum class RunOutcome { kCompleted, kNoReferenceSpace, kFailed };

struct RunResult {
    RunOutcome outcome = RunOutcome::kFailed;
    std::string message;  // why it did not complete
    uint64_t frames = 0;
    uint64_t layersSubmitted = 0;
    std::vector<ViewSample> samples;
};

// Called about once a second during the frame loop with the newest sample.
using ProgressCallback = std::function<void(const ViewSample&, uint64_t frames)>;

// Runs an OpenXR session through the loader, headless or with Vulkan graphics: instance, system,
// session, a LOCAL reference space, one swapchain, and a frame loop that submits a stereo
// projection layer with the located views. Cleans up after itself whatever happens.
RunResult RunDemoSession(const DemoOptions& options, const ProgressCallback& progress);

double MonotonicSeconds();

}  // namespace demo
