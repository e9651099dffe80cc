#include <cstring>
#include <utility>

#include "standins/runtime/Functions.h"
#include "standins/runtime/Recorder.h"
#include "standins/runtime/RuntimeObjects.h"

namespace standin {

XrResult XRAPI_CALL CreateSession(XrInstance instance, const XrSessionCreateInfo* createInfo,
                                  XrSession* session) {
    Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (createInfo == nullptr || session == nullptr ||
        createInfo->type != XR_TYPE_SESSION_CREATE_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (createInfo->systemId != kSystemId) {
        return XR_ERROR_SYSTEM_INVALID;
    }
    if (AnySessionOf(instance)) {
        return XR_ERROR_LIMIT_REACHED;
    }
    Session created;
    created.instance = instance;
#ifdef XR_USE_GRAPHICS_API_VULKAN
    const auto* binding = static_cast<const XrGraphicsBindingVulkanKHR*>(createInfo->next);
    if (binding != nullptr && binding->type == XR_TYPE_GRAPHICS_BINDING_VULKAN_KHR &&
        (state->vulkanEnabled || state->vulkan2Enabled)) {
        if (!state->graphicsRequirementsQueried) {
            return XR_ERROR_GRAPHICS_REQUIREMENTS_CALL_MISSING;
        }
        XrResult result = XR_SUCCESS;
        created.vulkan = VulkanSession::Create(*binding, state->physicalDevice, result);
        if (created.vulkan == nullptr) {
            return result;
        }
    } else if (!state->headlessEnabled || createInfo->next != nullptr) {
        // Without Vulkan only a headless session, and no other graphics binding.
        return XR_ERROR_GRAPHICS_DEVICE_INVALID;
    }
#else
    if (!state->headlessEnabled || createInfo->next != nullptr) {
        return XR_ERROR_GRAPHICS_DEVICE_INVALID;  // no graphics API in this build
    }
#endif
    const XrSession handle = AddSession(std::move(created));
    if (handle == XR_NULL_HANDLE) {
        return XR_ERROR_LIMIT_REACHED;
    }
    QueueSessionState(handle, XR_SESSION_STATE_IDLE);
    QueueSessionState(handle, XR_SESSION_STATE_READY);
    *session = handle;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL DestroySession(XrSession session) {
    if (FindSession(session) == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    RemoveSession(session);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL BeginSession(XrSession session, const XrSessionBeginInfo* beginInfo) {
    Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (beginInfo == nullptr || beginInfo->type != XR_TYPE_SESSION_BEGIN_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (beginInfo->primaryViewConfigurationType != XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO) {
        return XR_ERROR_VIEW_CONFIGURATION_TYPE_UNSUPPORTED;
    }
    if (state->running) {
        return XR_ERROR_SESSION_RUNNING;
    }
    if (state->state != XR_SESSION_STATE_READY) {
        return XR_ERROR_SESSION_NOT_READY;
    }
    state->running = true;
    state->exitRequested = false;
    state->framesEnded = 0;
    state->frame = FrameTiming{};
    QueueSessionState(session, XR_SESSION_STATE_SYNCHRONIZED);
    QueueSessionState(session, XR_SESSION_STATE_VISIBLE);
    QueueSessionState(session, XR_SESSION_STATE_FOCUSED);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RequestExitSession(XrSession session) {
    Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (!state->running) {
        return XR_ERROR_SESSION_NOT_RUNNING;
    }
    QueueSessionStop(session);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL EndSession(XrSession session) {
    Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (!state->running) {
        return XR_ERROR_SESSION_NOT_RUNNING;
    }
    if (state->state != XR_SESSION_STATE_STOPPING) {
        return XR_ERROR_SESSION_NOT_STOPPING;
    }
    state->running = false;
    QueueSessionState(session, XR_SESSION_STATE_IDLE);
    QueueSessionState(session, XR_SESSION_STATE_EXITING);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL PollEvent(XrInstance instance, XrEventDataBuffer* eventData) {
    Instance* state = FindInstance(instance);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (eventData == nullptr || eventData->type != XR_TYPE_EVENT_DATA_BUFFER) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (state->events.empty()) {
        return XR_EVENT_UNAVAILABLE;
    }
    const XrEventDataSessionStateChanged event = state->events.front();
    state->events.pop_front();
    // The session's state changes when the application learns of it.
    if (Session* session = FindSession(event.session); session != nullptr) {
        session->state = event.state;
    }
    TheRecorder().SessionState(event.state);
    static_assert(sizeof(event) <= sizeof(XrEventDataBuffer));
    std::memcpy(eventData, &event, sizeof(event));
    return XR_SUCCESS;
}

}  // namespace standin
