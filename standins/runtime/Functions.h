#pragma once

#include <ctime>

// Vulkan only where the build has it (Linux); elsewhere the graphics extensions are not offered.
#ifdef XR_USE_GRAPHICS_API_VULKAN
#include <vulkan/vulkan.h>
#endif
#ifdef XR_USE_PLATFORM_WIN32
#include <windows.h>
#endif
// The Vulkan, timespec and Win32 bindings of OpenXR are declared only after their own headers.
#include <openxr/openxr.h>
#include <openxr/openxr_platform.h>

#include "platform/LocateSpacesDeclarations.h"

// The stand-in's implementations of the OpenXR functions it offers, reached by the loader
// through xrGetInstanceProcAddr only.
namespace standin {

XrResult XRAPI_CALL GetInstanceProcAddr(XrInstance instance, const char* name,
                                        PFN_xrVoidFunction* function);

// Instance and system.
XrResult XRAPI_CALL EnumerateInstanceExtensionProperties(const char* layerName, uint32_t capacity,
                                                         uint32_t* count,
                                                         XrExtensionProperties* properties);
XrResult XRAPI_CALL CreateInstance(const XrInstanceCreateInfo* createInfo, XrInstance* instance);
XrResult XRAPI_CALL DestroyInstance(XrInstance instance);
XrResult XRAPI_CALL GetInstanceProperties(XrInstance instance, XrInstanceProperties* properties);
XrResult XRAPI_CALL ResultToString(XrInstance instance, XrResult value,
                                   char buffer[XR_MAX_RESULT_STRING_SIZE]);
XrResult XRAPI_CALL StructureTypeToString(XrInstance instance, XrStructureType value,
                                          char buffer[XR_MAX_STRUCTURE_NAME_SIZE]);
XrResult XRAPI_CALL StringToPath(XrInstance instance, const char* pathString, XrPath* path);
XrResult XRAPI_CALL PathToString(XrInstance instance, XrPath path, uint32_t capacity,
                                 uint32_t* count, char* buffer);
XrResult XRAPI_CALL GetSystem(XrInstance instance, const XrSystemGetInfo* getInfo,
                              XrSystemId* systemId);
XrResult XRAPI_CALL GetSystemProperties(XrInstance instance, XrSystemId systemId,
                                        XrSystemProperties* properties);
XrResult XRAPI_CALL EnumerateViewConfigurations(XrInstance instance, XrSystemId systemId,
                                                uint32_t capacity, uint32_t* count,
                                                XrViewConfigurationType* types);
XrResult XRAPI_CALL GetViewConfigurationProperties(XrInstance instance, XrSystemId systemId,
                                                   XrViewConfigurationType type,
                                                   XrViewConfigurationProperties* properties);
XrResult XRAPI_CALL EnumerateViewConfigurationViews(XrInstance instance, XrSystemId systemId,
                                                    XrViewConfigurationType type, uint32_t capacity,
                                                    uint32_t* count,
                                                    XrViewConfigurationView* views);
XrResult XRAPI_CALL EnumerateEnvironmentBlendModes(XrInstance instance, XrSystemId systemId,
                                                   XrViewConfigurationType type, uint32_t capacity,
                                                   uint32_t* count, XrEnvironmentBlendMode* modes);

// Session and its state machine.
XrResult XRAPI_CALL CreateSession(XrInstance instance, const XrSessionCreateInfo* createInfo,
                                  XrSession* session);
XrResult XRAPI_CALL DestroySession(XrSession session);
XrResult XRAPI_CALL BeginSession(XrSession session, const XrSessionBeginInfo* beginInfo);
XrResult XRAPI_CALL EndSession(XrSession session);
XrResult XRAPI_CALL RequestExitSession(XrSession session);
XrResult XRAPI_CALL PollEvent(XrInstance instance, XrEventDataBuffer* eventData);

// Spaces and views.
XrResult XRAPI_CALL EnumerateReferenceSpaces(XrSession session, uint32_t capacity, uint32_t* count,
                                             XrReferenceSpaceType* spaces);
XrResult XRAPI_CALL CreateReferenceSpace(XrSession session,
                                         const XrReferenceSpaceCreateInfo* createInfo,
                                         XrSpace* space);
XrResult XRAPI_CALL DestroySpace(XrSpace space);
XrResult XRAPI_CALL GetReferenceSpaceBoundsRect(XrSession session,
                                                XrReferenceSpaceType referenceSpaceType,
                                                XrExtent2Df* bounds);
XrResult XRAPI_CALL CreateActionSpace(XrSession session, const XrActionSpaceCreateInfo* createInfo,
                                      XrSpace* space);
XrResult XRAPI_CALL LocateSpace(XrSpace space, XrSpace baseSpace, XrTime time,
                                XrSpaceLocation* location);
// OpenXR 1.1's, for instances that asked for 1.1; the same as xrLocateSpacesKHR.
XrResult XRAPI_CALL LocateSpaces(XrSession session, const XrSpacesLocateInfo* locateInfo,
                                 XrSpaceLocations* spaceLocations);
XrResult XRAPI_CALL LocateViews(XrSession session, const XrViewLocateInfo* locateInfo,
                                XrViewState* viewState, uint32_t capacity, uint32_t* count,
                                XrView* views);

// Swapchains.
XrResult XRAPI_CALL EnumerateSwapchainFormats(XrSession session, uint32_t capacity, uint32_t* count,
                                              int64_t* formats);
XrResult XRAPI_CALL CreateSwapchain(XrSession session, const XrSwapchainCreateInfo* createInfo,
                                    XrSwapchain* swapchain);
XrResult XRAPI_CALL DestroySwapchain(XrSwapchain swapchain);
XrResult XRAPI_CALL EnumerateSwapchainImages(XrSwapchain swapchain, uint32_t capacity,
                                             uint32_t* count, XrSwapchainImageBaseHeader* images);
XrResult XRAPI_CALL AcquireSwapchainImage(XrSwapchain swapchain,
                                          const XrSwapchainImageAcquireInfo* acquireInfo,
                                          uint32_t* index);
XrResult XRAPI_CALL WaitSwapchainImage(XrSwapchain swapchain,
                                       const XrSwapchainImageWaitInfo* waitInfo);
XrResult XRAPI_CALL ReleaseSwapchainImage(XrSwapchain swapchain,
                                          const XrSwapchainImageReleaseInfo* releaseInfo);

// Frames.
XrResult XRAPI_CALL WaitFrame(XrSession session, const XrFrameWaitInfo* waitInfo,
                              XrFrameState* frameState);
XrResult XRAPI_CALL BeginFrame(XrSession session, const XrFrameBeginInfo* beginInfo);
XrResult XRAPI_CALL EndFrame(XrSession session, const XrFrameEndInfo* endInfo);

// Actions: accepted and kept, with no input device behind them.
XrResult XRAPI_CALL CreateActionSet(XrInstance instance, const XrActionSetCreateInfo* createInfo,
                                    XrActionSet* actionSet);
XrResult XRAPI_CALL DestroyActionSet(XrActionSet actionSet);
XrResult XRAPI_CALL CreateAction(XrActionSet actionSet, const XrActionCreateInfo* createInfo,
                                 XrAction* action);
XrResult XRAPI_CALL DestroyAction(XrAction action);
XrResult XRAPI_CALL SuggestInteractionProfileBindings(
    XrInstance instance, const XrInteractionProfileSuggestedBinding* suggestedBindings);
XrResult XRAPI_CALL AttachSessionActionSets(XrSession session,
                                            const XrSessionActionSetsAttachInfo* attachInfo);
XrResult XRAPI_CALL GetCurrentInteractionProfile(XrSession session, XrPath topLevelUserPath,
                                                 XrInteractionProfileState* interactionProfile);
XrResult XRAPI_CALL GetActionStateBoolean(XrSession session, const XrActionStateGetInfo* getInfo,
                                          XrActionStateBoolean* state);
XrResult XRAPI_CALL GetActionStateFloat(XrSession session, const XrActionStateGetInfo* getInfo,
                                        XrActionStateFloat* state);
XrResult XRAPI_CALL GetActionStateVector2f(XrSession session, const XrActionStateGetInfo* getInfo,
                                           XrActionStateVector2f* state);
XrResult XRAPI_CALL GetActionStatePose(XrSession session, const XrActionStateGetInfo* getInfo,
                                       XrActionStatePose* state);
XrResult XRAPI_CALL SyncActions(XrSession session, const XrActionsSyncInfo* syncInfo);
XrResult XRAPI_CALL EnumerateBoundSourcesForAction(
    XrSession session, const XrBoundSourcesForActionEnumerateInfo* enumerateInfo, uint32_t capacity,
    uint32_t* count, XrPath* sources);
XrResult XRAPI_CALL GetInputSourceLocalizedName(XrSession session,
                                                const XrInputSourceLocalizedNameGetInfo* getInfo,
                                                uint32_t capacity, uint32_t* count, char* buffer);
XrResult XRAPI_CALL ApplyHapticFeedback(XrSession session,
                                        const XrHapticActionInfo* hapticActionInfo,
                                        const XrHapticBaseHeader* hapticFeedback);
XrResult XRAPI_CALL StopHapticFeedback(XrSession session,
                                       const XrHapticActionInfo* hapticActionInfo);

#ifdef XR_USE_GRAPHICS_API_VULKAN
// XR_KHR_vulkan_enable.
XrResult XRAPI_CALL GetVulkanInstanceExtensionsKHR(XrInstance instance, XrSystemId systemId,
                                                   uint32_t capacity, uint32_t* count,
                                                   char* buffer);
XrResult XRAPI_CALL GetVulkanDeviceExtensionsKHR(XrInstance instance, XrSystemId systemId,
                                                 uint32_t capacity, uint32_t* count, char* buffer);
XrResult XRAPI_CALL GetVulkanGraphicsDeviceKHR(XrInstance instance, XrSystemId systemId,
                                               VkInstance vulkanInstance,
                                               VkPhysicalDevice* physicalDevice);
XrResult XRAPI_CALL GetVulkanGraphicsRequirementsKHR(XrInstance instance, XrSystemId systemId,
                                                     XrGraphicsRequirementsVulkanKHR* requirements);

// XR_KHR_vulkan_enable2.
XrResult XRAPI_CALL CreateVulkanInstanceKHR(XrInstance instance,
                                            const XrVulkanInstanceCreateInfoKHR* createInfo,
                                            VkInstance* vulkanInstance, VkResult* vulkanResult);
XrResult XRAPI_CALL CreateVulkanDeviceKHR(XrInstance instance,
                                          const XrVulkanDeviceCreateInfoKHR* createInfo,
                                          VkDevice* vulkanDevice, VkResult* vulkanResult);
XrResult XRAPI_CALL GetVulkanGraphicsDevice2KHR(XrInstance instance,
                                                const XrVulkanGraphicsDeviceGetInfoKHR* getInfo,
                                                VkPhysicalDevice* physicalDevice);
#endif

// The time conversion of the platform, against the clock its applications read:
// XR_KHR_win32_convert_performance_counter_time on Windows, XR_KHR_convert_timespec_time elsewhere.
#ifdef XR_USE_PLATFORM_WIN32
inline constexpr const char* kTimeConversionExtension =
    XR_KHR_WIN32_CONVERT_PERFORMANCE_COUNTER_TIME_EXTENSION_NAME;
inline constexpr uint32_t kTimeConversionVersion =
    XR_KHR_win32_convert_performance_counter_time_SPEC_VERSION;
XrResult XRAPI_CALL ConvertWin32PerformanceCounterToTimeKHR(XrInstance instance,
                                                            const LARGE_INTEGER* performanceCounter,
                                                            XrTime* time);
XrResult XRAPI_CALL ConvertTimeToWin32PerformanceCounterKHR(XrInstance instance, XrTime time,
                                                            LARGE_INTEGER* performanceCounter);
#else
inline constexpr const char* kTimeConversionExtension = XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME;
inline constexpr uint32_t kTimeConversionVersion = XR_KHR_convert_timespec_time_SPEC_VERSION;
XrResult XRAPI_CALL ConvertTimespecTimeToTimeKHR(XrInstance instance, const timespec* timespecTime,
                                                 XrTime* time);
XrResult XRAPI_CALL ConvertTimeToTimespecTimeKHR(XrInstance instance, XrTime time,
                                                 timespec* timespecTime);
#endif

// XR_SUCCESS for a known instance that enabled the time conversion; the error otherwise.
XrResult CheckTimeConversionInstance(XrInstance instance);

}  // namespace standin
