#include "FakeRuntime.h"

FakeRuntime& FakeRuntime::Current() {
    static FakeRuntime runtime;
    return runtime;
}

XrResult XRAPI_CALL FakeCreateReferenceSpace(XrSession, const XrReferenceSpaceCreateInfo* info,
                                             XrSpace* space) {
    FakeRuntime& runtime = FakeRuntime::Current();
    ++runtime.createSpaceCalls;
    runtime.createInfoWasNull = info == nullptr;
    if (info == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    runtime.receivedSpaceInfo = *info;
    *space = reinterpret_cast<XrSpace>(0x5);
    return runtime.result;
}

XrResult XRAPI_CALL FakeLocateViews(XrSession, const XrViewLocateInfo* info, XrViewState* state,
                                    uint32_t capacity, uint32_t* count, XrView* views) {
    FakeRuntime& runtime = FakeRuntime::Current();
    ++runtime.locateViewsCalls;
    if (info != nullptr) {
        runtime.receivedLocateInfo = *info;
    }
    if (XR_FAILED(runtime.result)) {
        return runtime.result;
    }
    if (XR_FAILED(runtime.locateViewsResult)) {
        return runtime.locateViewsResult;
    }
    *count = runtime.writtenViewCount;
    state->viewStateFlags = runtime.locatedFlags;
    for (uint32_t i = 0; i < capacity && i < 2; ++i) {
        views[i].pose = runtime.locatedPoses[i];
        views[i].fov = {-0.8f, 0.7f, 0.6f, -0.5f};
    }
    return runtime.result;
}

XrResult XRAPI_CALL FakeEndFrame(XrSession, const XrFrameEndInfo* info) {
    FakeRuntime& runtime = FakeRuntime::Current();
    ++runtime.endFrameCalls;
    runtime.frameEndInfoWasNull = info == nullptr;
    if (info == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    runtime.receivedFrame = *info;
    if (info->layers == nullptr) {
        return runtime.result;
    }
    runtime.receivedLayers.assign(info->layers, info->layers + info->layerCount);
    for (const XrCompositionLayerBaseHeader* layer : runtime.receivedLayers) {
        if (layer != nullptr && layer->type == XR_TYPE_COMPOSITION_LAYER_PROJECTION) {
            const auto* projection = reinterpret_cast<const XrCompositionLayerProjection*>(layer);
            runtime.receivedProjections.push_back(*projection);
            runtime.receivedViews.emplace_back(
                projection->views,
                projection->views + (projection->views ? projection->viewCount : 0));
        }
    }
    return runtime.result;
}
