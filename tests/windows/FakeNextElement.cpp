#include "tests/windows/FakeNextElement.h"

#include <cstring>

namespace windows_test {

namespace {

int firstLocateViewsCalls = 0;
int secondLocateViewsCalls = 0;

template <int* Calls>
XrResult XRAPI_CALL LocateViews(XrSession, const XrViewLocateInfo*, XrViewState* state,
                                uint32_t capacity, uint32_t* count, XrView* views) {
    ++*Calls;
    *count = 2;
    state->viewStateFlags = XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT;
    for (uint32_t i = 0; i < capacity && i < 2; ++i) {
        views[i].pose = {{0.0f, 0.0f, 0.0f, 1.0f},
                         {i == 0 ? -0.03f : 0.03f, kRuntimeHeadHeight, 0.0f}};
        views[i].fov = {-0.8f, 0.8f, 0.8f, -0.8f};
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL DestroyInstance(XrInstance) {
    return XR_SUCCESS;
}

XrResult XRAPI_CALL AnyOther() {
    return XR_ERROR_FUNCTION_UNSUPPORTED;
}

template <int* Calls>
XrResult XRAPI_CALL GetInstanceProcAddr(XrInstance, const char* name,
                                        PFN_xrVoidFunction* function) {
    if (std::strcmp(name, "xrLocateViews") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&LocateViews<Calls>);
    } else if (std::strcmp(name, "xrDestroyInstance") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&DestroyInstance);
    } else {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&AnyOther);
    }
    return XR_SUCCESS;
}

template <uintptr_t Handle>
XrResult XRAPI_CALL CreateApiLayerInstance(const XrInstanceCreateInfo*, const XrApiLayerCreateInfo*,
                                           XrInstance* instance) {
    *instance = reinterpret_cast<XrInstance>(Handle);
    return XR_SUCCESS;
}

}  // namespace

FakeNextElement FirstNextElement() {
    return {&GetInstanceProcAddr<&firstLocateViewsCalls>, &CreateApiLayerInstance<1>,
            &firstLocateViewsCalls};
}

FakeNextElement SecondNextElement() {
    return {&GetInstanceProcAddr<&secondLocateViewsCalls>, &CreateApiLayerInstance<2>,
            &secondLocateViewsCalls};
}

}  // namespace windows_test
