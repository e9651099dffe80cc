#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "standins/runtime/HeadPose.h"
#include "standins/runtime/StandinConfig.h"
#ifdef XR_USE_GRAPHICS_API_VULKAN
#include "standins/runtime/VulkanSession.h"
#endif

namespace standin {

// The stand-in serves one application thread: its objects live in fixed tables that the
// application's calls reach without a lock.

struct Instance {
    bool headlessEnabled = false;
    bool vulkanEnabled = false;          // XR_KHR_vulkan_enable
    bool vulkan2Enabled = false;         // XR_KHR_vulkan_enable2
    bool timeConversionEnabled = false;  // the platform's, kTimeConversionExtension
    bool locateSpacesEnabled = false;    // XR_KHR_locate_spaces
    XrVersion apiVersion = 0;            // what the application asked for
    // A session with a graphics binding needs the application to have asked for the requirements.
    bool graphicsRequirementsQueried = false;
#ifdef XR_USE_GRAPHICS_API_VULKAN
    VkInstance vulkanInstance = VK_NULL_HANDLE;        // as last given to find the device
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;  // the one handed to the application
#endif
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
    bool actionSetsAttached = false;
    uint32_t framesEnded = 0;  // frames of this running session that xrEndFrame accepted
    FrameTiming frame;
#ifdef XR_USE_GRAPHICS_API_VULKAN
    std::shared_ptr<VulkanSession> vulkan;  // null for a headless session
#endif
};

enum class SpaceKind { kReference, kAction };

struct Space {
    XrSession session = XR_NULL_HANDLE;
    XrReferenceSpaceType type = XR_REFERENCE_SPACE_TYPE_LOCAL;
    XrPosef poseInReferenceSpace{};  // of an action space: its pose in the action's space
    SpaceKind kind = SpaceKind::kReference;
    XrAction action = XR_NULL_HANDLE;
    XrPath subactionPath = XR_NULL_PATH;
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
    uint32_t lastReleased = 0;  // the image a composition layer shows
#ifdef XR_USE_GRAPHICS_API_VULKAN
    std::shared_ptr<SwapchainImages> images;  // null in a headless session
#endif
};

struct ActionSet {
    XrInstance instance = XR_NULL_HANDLE;
    std::string name;
    std::string localizedName;
    bool attached = false;
};

struct Action {
    XrActionSet actionSet = XR_NULL_HANDLE;
    std::string name;
    std::string localizedName;
    XrActionType type = XR_ACTION_TYPE_BOOLEAN_INPUT;
    std::vector<XrPath> subactionPaths;
};

inline constexpr XrSystemId kSystemId = 1;
inline constexpr uint32_t kSwapchainImageCount = 3;
inline constexpr int64_t kSwapchainFormat = 43;  // opaque here: no image ever exists

Instance* FindInstance(XrInstance handle);
Session* FindSession(XrSession handle);
Space* FindSpace(XrSpace handle);
Swapchain* FindSwapchain(XrSwapchain handle);
ActionSet* FindActionSet(XrActionSet handle);
Action* FindAction(XrAction handle);

// Each returns XR_NULL_HANDLE when its table is full.
XrInstance AddInstance(Instance instance);
XrSession AddSession(Session session);
XrSpace AddSpace(Space space);
XrSwapchain AddSwapchain(Swapchain swapchain);
XrActionSet AddActionSet(ActionSet actionSet);
XrAction AddAction(Action action);

void RemoveInstance(XrInstance handle);  // with its action sets
void RemoveSession(XrSession handle);    // with its spaces and swapchains
void RemoveSpace(XrSpace handle);
void RemoveSwapchain(XrSwapchain handle);
void RemoveActionSet(XrActionSet handle);  // with its actions
void RemoveAction(XrAction handle);

// Once a set of the instance is attached, no set takes new actions or suggested bindings.
bool AnyActionSetAttached(XrInstance instance);
// Names are unique among the action sets of an instance and among the actions of a set.
bool AnyActionSetOf(XrInstance instance, const std::string& name, const std::string& localizedName);
bool AnyActionOf(XrActionSet actionSet, const std::string& name, const std::string& localizedName);

bool AnyInstance();
bool AnySessionOf(XrInstance instance);

// Queues a state change of `session` for xrPollEvent.
void QueueSessionState(XrSession session, XrSessionState state);

// Queues the way down to STOPPING of a running session, once; the application then ends it.
void QueueSessionStop(XrSession session);

}  // namespace standin
