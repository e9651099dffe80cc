// The stand-in runtime's own checks, reached through the system's loader in this process.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <openxr/openxr.h>

#include <cstdlib>
#include <filesystem>

#include "LoaderRecords.h"
#include "layer/LoaderInterface.h"
#include "tests/e2e/ChildProcess.h"

namespace {

void SetLoaderEnvironment(const std::string& dir, const char* layerPath, const char* enable) {
    setenv("XR_RUNTIME_JSON", TARVEX_STANDIN_RUNTIME_MANIFEST, 1);
    setenv("XR_API_LAYER_PATH", layerPath, 1);
    if (enable != nullptr) {
        setenv("XR_ENABLE_API_LAYERS", enable, 1);
    } else {
        unsetenv("XR_ENABLE_API_LAYERS");
    }
    for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) {
        setenv(name, dir.c_str(), 1);
    }
    unsetenv("TARVEX_STANDIN_RUNTIME_RECORD");
}

// A running headless session with a LOCAL space and a swapchain whose image was released once.
class RunningSession : public ::testing::Test {
protected:
    void Start() {
        XrInstanceCreateInfo createInfo{};
        createInfo.type = XR_TYPE_INSTANCE_CREATE_INFO;
        std::snprintf(createInfo.applicationInfo.applicationName, XR_MAX_APPLICATION_NAME_SIZE,
                      "e2e");
        createInfo.applicationInfo.apiVersion = XR_MAKE_VERSION(1, 0, 0);
        const char* extensions[] = {XR_MND_HEADLESS_EXTENSION_NAME};
        createInfo.enabledExtensionCount = 1;
        createInfo.enabledExtensionNames = extensions;
        ASSERT_EQ(xrCreateInstance(&createInfo, &instance_), XR_SUCCESS);
        XrSystemGetInfo systemInfo{};
        systemInfo.type = XR_TYPE_SYSTEM_GET_INFO;
        systemInfo.formFactor = XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY;
        XrSystemId system = XR_NULL_SYSTEM_ID;
        ASSERT_EQ(xrGetSystem(instance_, &systemInfo, &system), XR_SUCCESS);
        XrSessionCreateInfo sessionInfo{};
        sessionInfo.type = XR_TYPE_SESSION_CREATE_INFO;
        sessionInfo.systemId = system;
        ASSERT_EQ(xrCreateSession(instance_, &sessionInfo, &session_), XR_SUCCESS);
        for (XrSessionState state : {XR_SESSION_STATE_IDLE, XR_SESSION_STATE_READY}) {
            XrEventDataBuffer event{};
            event.type = XR_TYPE_EVENT_DATA_BUFFER;
            ASSERT_EQ(xrPollEvent(instance_, &event), XR_SUCCESS);
            ASSERT_EQ(reinterpret_cast<XrEventDataSessionStateChanged&>(event).state, state);
        }
        XrSessionBeginInfo beginInfo{};
        beginInfo.type = XR_TYPE_SESSION_BEGIN_INFO;
        beginInfo.primaryViewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        ASSERT_EQ(xrBeginSession(session_, &beginInfo), XR_SUCCESS);

        XrReferenceSpaceCreateInfo spaceInfo{};
        spaceInfo.type = XR_TYPE_REFERENCE_SPACE_CREATE_INFO;
        spaceInfo.referenceSpaceType = XR_REFERENCE_SPACE_TYPE_LOCAL;
        spaceInfo.poseInReferenceSpace.orientation.w = 1.0f;
        ASSERT_EQ(xrCreateReferenceSpace(session_, &spaceInfo, &space_), XR_SUCCESS);

        int64_t format = 0;
        uint32_t formatCount = 0;
        ASSERT_EQ(xrEnumerateSwapchainFormats(session_, 1, &formatCount, &format), XR_SUCCESS);
        XrSwapchainCreateInfo swapchainInfo{};
        swapchainInfo.type = XR_TYPE_SWAPCHAIN_CREATE_INFO;
        swapchainInfo.format = format;
        swapchainInfo.sampleCount = 1;
        swapchainInfo.width = 256;
        swapchainInfo.height = 256;
        swapchainInfo.faceCount = 1;
        swapchainInfo.arraySize = 1;
        swapchainInfo.mipCount = 1;
        ASSERT_EQ(xrCreateSwapchain(session_, &swapchainInfo, &swapchain_), XR_SUCCESS);
        uint32_t index = 0;
        ASSERT_EQ(xrAcquireSwapchainImage(swapchain_, nullptr, &index), XR_SUCCESS);
        XrSwapchainImageWaitInfo waitInfo{};
        waitInfo.type = XR_TYPE_SWAPCHAIN_IMAGE_WAIT_INFO;
        waitInfo.timeout = XR_INFINITE_DURATION;
        ASSERT_EQ(xrWaitSwapchainImage(swapchain_, &waitInfo), XR_SUCCESS);
        ASSERT_EQ(xrReleaseSwapchainImage(swapchain_, nullptr), XR_SUCCESS);

        XrFrameState frameState{};
        frameState.type = XR_TYPE_FRAME_STATE;
        ASSERT_EQ(xrWaitFrame(session_, nullptr, &frameState), XR_SUCCESS);
        ASSERT_EQ(xrBeginFrame(session_, nullptr), XR_SUCCESS);
        displayTime_ = frameState.predictedDisplayTime;
    }

    void TearDown() override {
        if (session_ != XR_NULL_HANDLE) {
            xrDestroySession(session_);
        }
        if (instance_ != XR_NULL_HANDLE) {
            xrDestroyInstance(instance_);
        }
    }

    XrInstance instance_ = XR_NULL_HANDLE;
    XrSession session_ = XR_NULL_HANDLE;
    XrSpace space_ = XR_NULL_HANDLE;
    XrSwapchain swapchain_ = XR_NULL_HANDLE;
    XrTime displayTime_ = 0;
};

TEST_F(RunningSession, EndFrameRejectsWhatItCannotCompose) {
    const std::string dir = e2e::MakeTempDir();
    SetLoaderEnvironment(dir, dir.c_str(), nullptr);
    ASSERT_NO_FATAL_FAILURE(Start());

    XrCompositionLayerProjectionView views[2] = {};
    for (int eye = 0; eye < 2; ++eye) {
        views[eye].type = XR_TYPE_COMPOSITION_LAYER_PROJECTION_VIEW;
        views[eye].pose.orientation.w = 1.0f;
        views[eye].subImage.swapchain = swapchain_;
        views[eye].subImage.imageRect = {{eye * 128, 0}, {128, 256}};
    }
    XrCompositionLayerProjection layer{};
    layer.type = XR_TYPE_COMPOSITION_LAYER_PROJECTION;
    layer.space = space_;
    layer.viewCount = 2;
    layer.views = views;
    const XrCompositionLayerBaseHeader* layers[] = {
        reinterpret_cast<const XrCompositionLayerBaseHeader*>(&layer)};

    struct Case {
        const char* what;
        void (*spoil)(XrFrameEndInfo&, XrCompositionLayerProjection&,
                      XrCompositionLayerProjectionView*);
        XrResult expected;
    };
    const Case cases[] = {
        {"null layers with a count",
         [](XrFrameEndInfo& info, auto&, auto*) { info.layers = nullptr; },
         XR_ERROR_VALIDATION_FAILURE},
        {"unknown layer type",
         [](auto&, XrCompositionLayerProjection& l, auto*) {
             l.type = XR_TYPE_COMPOSITION_LAYER_CUBE_KHR;
         },
         XR_ERROR_LAYER_INVALID},
        {"one view for stereo",
         [](auto&, XrCompositionLayerProjection& l, auto*) { l.viewCount = 1; },
         XR_ERROR_VALIDATION_FAILURE},
        {"view of the wrong type",
         [](auto&, auto&, XrCompositionLayerProjectionView* v) { v[1].type = XR_TYPE_VIEW; },
         XR_ERROR_VALIDATION_FAILURE},
        {"orientation not of unit length",
         [](auto&, auto&, XrCompositionLayerProjectionView* v) { v[0].pose.orientation.w = 2.0f; },
         XR_ERROR_POSE_INVALID},
        {"rectangle outside the image",
         [](auto&, auto&, XrCompositionLayerProjectionView* v) {
             v[1].subImage.imageRect.offset.x = 200;
         },
         XR_ERROR_SWAPCHAIN_RECT_INVALID},
        {"blend mode not offered",
         [](XrFrameEndInfo& info, auto&, auto*) {
             info.environmentBlendMode = XR_ENVIRONMENT_BLEND_MODE_ADDITIVE;
         },
         XR_ERROR_ENVIRONMENT_BLEND_MODE_UNSUPPORTED},
        {"no display time", [](XrFrameEndInfo& info, auto&, auto*) { info.displayTime = 0; },
         XR_ERROR_TIME_INVALID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XrFrameEndInfo info{};
        info.type = XR_TYPE_FRAME_END_INFO;
        info.displayTime = displayTime_;
        info.environmentBlendMode = XR_ENVIRONMENT_BLEND_MODE_OPAQUE;
        info.layerCount = 1;
        info.layers = layers;
        XrCompositionLayerProjection spoiledLayer = layer;
        XrCompositionLayerProjectionView spoiledViews[2] = {views[0], views[1]};
        spoiledLayer.views = spoiledViews;
        const XrCompositionLayerBaseHeader* spoiledLayers[] = {
            reinterpret_cast<const XrCompositionLayerBaseHeader*>(&spoiledLayer)};
        info.layers = spoiledLayers;
        c.spoil(info, spoiledLayer, spoiledViews);
        EXPECT_EQ(xrEndFrame(session_, &info), c.expected);
    }
    // The frame is still open after every rejection, and the sound submission ends it.
    XrFrameEndInfo info{};
    info.type = XR_TYPE_FRAME_END_INFO;
    info.displayTime = displayTime_;
    info.environmentBlendMode = XR_ENVIRONMENT_BLEND_MODE_OPAQUE;
    info.layerCount = 1;
    info.layers = layers;
    EXPECT_EQ(xrEndFrame(session_, &info), XR_SUCCESS);
    EXPECT_EQ(xrEndFrame(session_, &info), XR_ERROR_CALL_ORDER_INVALID);
    std::filesystem::remove_all(dir);
}

// Shows that the core validation run can fail: a call the standard forbids is reported.
TEST_F(RunningSession, CoreValidationReportsAForbiddenCall) {
    const std::string coreValidationDir = TARVEX_CORE_VALIDATION_MANIFEST_DIR;
    ASSERT_FALSE(coreValidationDir.empty())
        << "openxr-layer-corevalidation is not installed: scripts/install-deps.sh installs it";
    const std::string dir = e2e::MakeTempDir();
    const std::string reportFile = dir + "/core-validation.txt";
    SetLoaderEnvironment(dir, coreValidationDir.c_str(), "XR_APILAYER_LUNARG_core_validation");
    setenv("XR_CORE_VALIDATION_FILE_NAME", reportFile.c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(Start());
    XrReferenceSpaceCreateInfo spaceInfo{};
    spaceInfo.type = XR_TYPE_REFERENCE_SPACE_CREATE_INFO;
    spaceInfo.referenceSpaceType = static_cast<XrReferenceSpaceType>(12345);
    spaceInfo.poseInReferenceSpace.orientation.w = 1.0f;
    XrSpace space = XR_NULL_HANDLE;
    EXPECT_TRUE(XR_FAILED(xrCreateReferenceSpace(session_, &spaceInfo, &space)));
    EXPECT_NE(e2e::ReadFile(reportFile), "");
    unsetenv("XR_CORE_VALIDATION_FILE_NAME");
}

// The runtime library itself: one export, and lookups of what it lacks fail as the loader
// expects.
TEST(StandinRuntimeLibrary, NegotiatesAndRefusesUnknownFunctions) {
    void* library = dlopen(TARVEX_STANDIN_RUNTIME_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto negotiate = reinterpret_cast<PFN_xrNegotiateLoaderRuntimeInterface>(
        dlsym(library, "xrNegotiateLoaderRuntimeInterface"));
    ASSERT_NE(negotiate, nullptr);
    EXPECT_EQ(dlsym(library, "xrGetInstanceProcAddr"), nullptr);

    const XrNegotiateLoaderInfo loaderInfo = DebianLoaderInfo();
    XrNegotiateRuntimeRequest request = EmptyRuntimeRequest();
    ASSERT_EQ(negotiate(&loaderInfo, &request), XR_SUCCESS);
    ASSERT_NE(request.getInstanceProcAddr, nullptr);
    EXPECT_EQ(request.runtimeInterfaceVersion, 1u);

    PFN_xrVoidFunction function = nullptr;
    EXPECT_EQ(request.getInstanceProcAddr(XR_NULL_HANDLE, "xrCreateInstance", &function),
              XR_SUCCESS);
    EXPECT_NE(function, nullptr);
    EXPECT_EQ(request.getInstanceProcAddr(XR_NULL_HANDLE, "xrLocateViews", &function),
              XR_ERROR_HANDLE_INVALID);
    EXPECT_EQ(function, nullptr);

    ASSERT_EQ(request.getInstanceProcAddr(XR_NULL_HANDLE, "xrCreateInstance", &function),
              XR_SUCCESS);
    auto createInstance = reinterpret_cast<PFN_xrCreateInstance>(function);
    XrInstanceCreateInfo createInfo{};
    createInfo.type = XR_TYPE_INSTANCE_CREATE_INFO;
    createInfo.applicationInfo.apiVersion = XR_MAKE_VERSION(1, 0, 0);
    XrInstance instance = XR_NULL_HANDLE;
    ASSERT_EQ(createInstance(&createInfo, &instance), XR_SUCCESS);
    function = reinterpret_cast<PFN_xrVoidFunction>(&dlclose);
    // A function of an extension this instance did not enable.
    EXPECT_EQ(request.getInstanceProcAddr(instance, "xrCreateVulkanInstanceKHR", &function),
              XR_ERROR_FUNCTION_UNSUPPORTED);
    EXPECT_EQ(function, nullptr);
    ASSERT_EQ(request.getInstanceProcAddr(instance, "xrDestroyInstance", &function), XR_SUCCESS);
    EXPECT_EQ(reinterpret_cast<PFN_xrDestroyInstance>(function)(instance), XR_SUCCESS);

    XrNegotiateLoaderInfo tooNew = loaderInfo;
    tooNew.minInterfaceVersion = 2;
    tooNew.maxInterfaceVersion = 2;
    EXPECT_EQ(negotiate(&tooNew, &request), XR_ERROR_INITIALIZATION_FAILED);
    dlclose(library);
}

}  // namespace
