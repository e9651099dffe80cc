#pragma once

#include <openxr/openxr.h>

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "standins/runtime/HeadPose.h"
#include "standins/runtime/StandinConfig.h"

namespace standin {

// The stand-in serves one application thread: its objects live in fixed tables that the
// application's calls reach without a lock.

struct Instance {
    bool headlessEnabled = false;
    StandinConfig config;
    EyePoses eyes{};
    std::deque<XrEventDataSessionStateChanged> events;
    std::vector<std::string> paths;  // XrPath n names paths[n - 1]
};

struct FrameTiming {
    XrTime nextFrameStart = 0;  // when the next xrWaitFrame may return
    XrTime predictedDisplayTime = 0;
    bool waited = false;  // xrWaitFrame returned, xrBeginFrame not yet called
    bool begun = false;   // xrBeginFrame called, xrEndFrame not yet
};

struct Session {
    XrInstance instance = XR_NULL_HANDLE;
    XrSessionState state = XR_SESSION_STATE_UNKNOWN;   // as last delivered by xrPollEvent
    XrSessionState queued = XR_SESSION_STATE_UNKNOWN;  // as last queued for delivery
    bool running = false;
    bool exitRequested = false;
    FrameTiming frame;
};

struct Space {
    XrSession session = XR_NULL_HANDLE;
    XrReferenceSpaceType type = XR_REFERENCE_SPACE_TYPE_LOCAL;
    XrPosef poseInReferenceSpace{};
};

struct Swapchain {
    XrSession session = XR_NULL_HANDLE;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t arraySize = 0;
    uint32_t nextToAcquire = 0;
    uint32_t acquired = 0;  // acquired and not yet released, oldest first
    uint32_t waited = 0;    // of those, waited on
    bool everReleased = false;
};

inline constexpr XrSystemId kSystemId = 1;
inline constexpr uint32_t kSwapchainImageCount = 3;
inline constexpr int64_t kSwapchainFormat = 43;  // opaque here: no image ever exists

Instance* FindInstance(XrInstance handle);
Session* FindSession(XrSession handle);
Space* FindSpace(XrSpace handle);
Swapchain* FindSwapchain(XrSwapchain handle);

// Each returns XR_NULL_HANDLE when its table is full.
XrInstance AddInstance(Instance instance);
XrSession AddSession(Session session);
XrSpace AddSpace(Space space);
XrSwapchain AddSwapchain(Swapchain swapchain);

void RemoveInstance(XrInstance handle);
void RemoveSession(XrSession handle);  // with its spaces and swapchains
void RemoveSpace(XrSpace handle);
void RemoveSwapchain(XrSwapchain handle);

bool AnyInstance();
bool AnySessionOf(XrInstance instance);

// Queues a state change of `session` for xrPollEvent.
void QueueSessionState(XrSession session, XrSessionState state);

}  // namespace standin
