#pragma once

// The next element of the chain as the layer sees it on Windows: a runtime that reports a fixed
// head pose and counts the calls that reach it. Each instance of the layer in the test gets its
// own element, so that a call routed to a stale element shows up.

#include "layer/LoaderInterface.h"

namespace windows_test {

struct FakeNextElement {
    PFN_xrGetInstanceProcAddr getInstanceProcAddr;
    PFN_xrCreateApiLayerInstance createApiLayerInstance;
    int* locateViewsCalls;
};

// The runtime's head pose: identity orientation, 1.7 m above the floor.
inline constexpr float kRuntimeHeadHeight = 1.7f;

FakeNextElement FirstNextElement();
FakeNextElement SecondNextElement();

}  // namespace windows_test
