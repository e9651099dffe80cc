#include "standins/runtime/Clock.h"
#include "standins/runtime/FrameCapture.h"
#include "standins/runtime/Functions.h"
#include "standins/runtime/Recorder.h"
#include "standins/runtime/RuntimeObjects.h"
#include "standins/runtime/StructureChecks.h"

namespace standin {
namespace {

constexpr XrDuration kFramePeriod = 1'000'000'000 / 90;

XrResult CheckSubImage(XrSession session, const XrSwapchainSubImage& subImage) {
    const Swapchain* swapchain = FindSwapchain(subImage.swapchain);
    if (swapchain == nullptr || swapchain->session != session) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (!swapchain->everReleased) {
        return XR_ERROR_LAYER_INVALID;  // nothing was ever rendered into it
    }
    const XrRect2Di& rect = subImage.imageRect;
    if (rect.offset.x < 0 || rect.offset.y < 0 || rect.extent.width <= 0 ||
        rect.extent.height <= 0 ||
        static_cast<int64_t>(rect.offset.x) + rect.extent.width > swapchain->width ||
        static_cast<int64_t>(rect.offset.y) + rect.extent.height > swapchain->height) {
        return XR_ERROR_SWAPCHAIN_RECT_INVALID;
    }
    return subImage.imageArrayIndex < swapchain->arraySize ? XR_SUCCESS
                                                           : XR_ERROR_VALIDATION_FAILURE;
}

XrResult CheckSpace(XrSession session, XrSpace handle) {
    const Space* space = FindSpace(handle);
    return space != nullptr && space->session == session ? XR_SUCCESS : XR_ERROR_HANDLE_INVALID;
}

XrResult CheckProjectionLayer(XrSession session, const XrCompositionLayerProjection& layer) {
    if (const XrResult result = CheckSpace(session, layer.space); XR_FAILED(result)) {
        return result;
    }
    // Primary stereo has exactly two views.
    if (layer.viewCount != 2 || layer.views == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    for (uint32_t i = 0; i < layer.viewCount; ++i) {
        const XrCompositionLayerProjectionView& view = layer.views[i];
        if (view.type != XR_TYPE_COMPOSITION_LAYER_PROJECTION_VIEW) {
            return XR_ERROR_VALIDATION_FAILURE;
        }
        if (!IsValidPose(view.pose)) {
            return XR_ERROR_POSE_INVALID;
        }
        if (const XrResult result = CheckSubImage(session, view.subImage); XR_FAILED(result)) {
            return result;
        }
    }
    return XR_SUCCESS;
}

XrResult CheckQuadLayer(XrSession session, const XrCompositionLayerQuad& layer) {
    if (const XrResult result = CheckSpace(session, layer.space); XR_FAILED(result)) {
        return result;
    }
    if (!IsValidPose(layer.pose)) {
        return XR_ERROR_POSE_INVALID;
    }
    return CheckSubImage(session, layer.subImage);
}

XrResult CheckLayers(XrSession session, const XrFrameEndInfo& endInfo) {
    if (endInfo.displayTime <= 0) {
        return XR_ERROR_TIME_INVALID;
    }
    if (endInfo.environmentBlendMode != XR_ENVIRONMENT_BLEND_MODE_OPAQUE) {
        return XR_ERROR_ENVIRONMENT_BLEND_MODE_UNSUPPORTED;
    }
    if (endInfo.layerCount > XR_MIN_COMPOSITION_LAYERS_SUPPORTED) {
        return XR_ERROR_LAYER_LIMIT_EXCEEDED;
    }
    if (endInfo.layerCount != 0 && endInfo.layers == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    for (uint32_t i = 0; i < endInfo.layerCount; ++i) {
        const XrCompositionLayerBaseHeader* layer = endInfo.layers[i];
        if (layer == nullptr) {
            return XR_ERROR_LAYER_INVALID;
        }
        XrResult result = XR_ERROR_LAYER_INVALID;
        if (layer->type == XR_TYPE_COMPOSITION_LAYER_PROJECTION) {
            result = CheckProjectionLayer(
                session, *reinterpret_cast<const XrCompositionLayerProjection*>(layer));
        } else if (layer->type == XR_TYPE_COMPOSITION_LAYER_QUAD) {
            result =
                CheckQuadLayer(session, *reinterpret_cast<const XrCompositionLayerQuad*>(layer));
        }
        if (XR_FAILED(result)) {
            return result;
        }
    }
    return XR_SUCCESS;
}

}  // namespace

XrResult XRAPI_CALL WaitFrame(XrSession session, const XrFrameWaitInfo* waitInfo,
                              XrFrameState* frameState) {
    Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if ((waitInfo != nullptr && waitInfo->type != XR_TYPE_FRAME_WAIT_INFO) ||
        frameState == nullptr || frameState->type != XR_TYPE_FRAME_STATE) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (!state->running) {
        return XR_ERROR_SESSION_NOT_RUNNING;
    }
    FrameTiming& frame = state->frame;
    const XrTime now = MonotonicNow();
    // Frames start on a 90 Hz grid; an application that fell more than a frame behind starts a
    // new grid instead of racing through the missed frames.
    if (frame.nextFrameStart == 0 || frame.nextFrameStart + kFramePeriod < now) {
        frame.nextFrameStart = now;
    }
    SleepUntil(frame.nextFrameStart);
    const float delayMs = FindInstance(state->instance)->config.displayDelayMs;
    frame.predictedDisplayTime =
        frame.nextFrameStart +
        (delayMs >= 0.0f ? static_cast<XrDuration>(delayMs * 1e6f) : kFramePeriod);
    frame.nextFrameStart += kFramePeriod;
    frame.waited = true;
    frameState->predictedDisplayTime = frame.predictedDisplayTime;
    frameState->predictedDisplayPeriod = kFramePeriod;
    frameState->shouldRender =
        state->state == XR_SESSION_STATE_VISIBLE || state->state == XR_SESSION_STATE_FOCUSED
            ? XR_TRUE
            : XR_FALSE;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL BeginFrame(XrSession session, const XrFrameBeginInfo* beginInfo) {
    Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (beginInfo != nullptr && beginInfo->type != XR_TYPE_FRAME_BEGIN_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (!state->running) {
        return XR_ERROR_SESSION_NOT_RUNNING;
    }
    if (!state->frame.waited) {
        return XR_ERROR_CALL_ORDER_INVALID;
    }
    state->frame.waited = false;
    if (state->frame.begun) {
        return XR_FRAME_DISCARDED;  // the previous frame was never ended
    }
    state->frame.begun = true;
    return XR_SUCCESS;
}

XrResult XRAPI_CALL EndFrame(XrSession session, const XrFrameEndInfo* endInfo) {
    Session* state = FindSession(session);
    if (state == nullptr) {
        return XR_ERROR_HANDLE_INVALID;
    }
    if (endInfo == nullptr || endInfo->type != XR_TYPE_FRAME_END_INFO) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    if (!state->running) {
        return XR_ERROR_SESSION_NOT_RUNNING;
    }
    if (!state->frame.begun) {
        return XR_ERROR_CALL_ORDER_INVALID;
    }
    const XrResult result = CheckLayers(session, *endInfo);
    if (XR_SUCCEEDED(result)) {
        state->frame.begun = false;
        for (uint32_t i = 0; i < endInfo->layerCount; ++i) {
            if (endInfo->layers[i]->type == XR_TYPE_COMPOSITION_LAYER_PROJECTION) {
                TheRecorder().ProjectionLayer(
                    endInfo->displayTime,
                    *reinterpret_cast<const XrCompositionLayerProjection*>(endInfo->layers[i]));
            }
        }
    }
    TheRecorder().EndFrame(endInfo->displayTime, endInfo->layerCount, result);
    if (XR_SUCCEEDED(result)) {
        const StandinConfig& config = FindInstance(state->instance)->config;
        ++state->framesEnded;
        CaptureFrame(config, state->framesEnded, *endInfo);
        // A session of a set length stops the way a user ending it would.
        if (config.sessionFrames != 0 && state->framesEnded >= config.sessionFrames) {
            QueueSessionStop(session);
        }
    }
    return result;
}

}  // namespace standin
