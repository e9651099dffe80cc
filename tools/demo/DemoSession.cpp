#include "tools/demo/DemoSession.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/Platform.h"
#include "tools/demo/VulkanGraphics.h"

// For XR_KHR_convert_timespec_time's function types.
#include <time.h>
#define XR_USE_TIMESPEC
#include <openxr/openxr_platform.h>

namespace demo {
namespace {

constexpr double kStartupTimeoutSeconds = 10.0;
constexpr double kShutdownTimeoutSeconds = 5.0;
constexpr int32_t kMaxClearedEyeWidth = 512;

struct XrFailure : std::runtime_error {
    XrFailure(const std::string& what, XrResult r) : std::runtime_error(what), result(r) {}
    XrResult result;
};

class Session {
public:
    ~Session() {
        if (swapchain_ != XR_NULL_HANDLE) {
            xrDestroySwapchain(swapchain_);
        }
        if (space_ != XR_NULL_HANDLE) {
            xrDestroySpace(space_);
        }
        if (session_ != XR_NULL_HANDLE) {
            xrDestroySession(session_);
        }
        // The Vulkan device outlives the session that used it, not the instance that made it.
        graphics_.reset();
        if (instance_ != XR_NULL_HANDLE) {
            xrDestroyInstance(instance_);
        }
    }

    std::string Describe(XrResult result) const {
        char name[XR_MAX_RESULT_STRING_SIZE] = {};
        if (instance_ == XR_NULL_HANDLE || XR_FAILED(xrResultToString(instance_, result, name))) {
            std::snprintf(name, sizeof(name), "XrResult %d", static_cast<int>(result));
        }
        return std::string(name) + " (" + std::to_string(static_cast<int>(result)) + ")";
    }

    void Check(XrResult result, const char* call) const {
        if (XR_FAILED(result)) {
            throw XrFailure(std::string(call) + " failed: " + Describe(result), result);
        }
    }

    void CreateInstanceAndSession(GraphicsMode mode, ApiVersion apiVersion) {
        const bool vulkan = ChooseVulkan(mode);
        // A real runtime's XrTime need not be the monotonic clock (Monado's starts near zero), so
        // a Vulkan session converts its display times when it can. A headless session on the
        // stand-in runtime, whose XrTime is that clock, leaves the extension to the layer.
        const bool convertTime = vulkan && Offers(XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME);
        XrInstanceCreateInfo createInfo{};
        createInfo.type = XR_TYPE_INSTANCE_CREATE_INFO;
        std::strncpy(createInfo.applicationInfo.applicationName, "tarvex-demo",
                     XR_MAX_APPLICATION_NAME_SIZE - 1);
        createInfo.applicationInfo.applicationVersion = 1;
        createInfo.applicationInfo.apiVersion =
            apiVersion == ApiVersion::k1_1 ? XR_MAKE_VERSION(1, 1, 0) : XR_MAKE_VERSION(1, 0, 0);
        const char* extensions[] = {
            vulkan ? VulkanGraphics::ExtensionName() : XR_MND_HEADLESS_EXTENSION_NAME,
            XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME};
        createInfo.enabledExtensionCount = convertTime ? 2 : 1;
        createInfo.enabledExtensionNames = extensions;
        Check(xrCreateInstance(&createInfo, &instance_), "xrCreateInstance");
        if (convertTime) {
            Check(xrGetInstanceProcAddr(instance_, "xrConvertTimeToTimespecTimeKHR",
                                        reinterpret_cast<PFN_xrVoidFunction*>(&toTimespec_)),
                  "xrGetInstanceProcAddr(xrConvertTimeToTimespecTimeKHR)");
        }

        XrSystemGetInfo systemInfo{};
        systemInfo.type = XR_TYPE_SYSTEM_GET_INFO;
        systemInfo.formFactor = XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY;
        Check(xrGetSystem(instance_, &systemInfo, &system_), "xrGetSystem");

        XrSessionCreateInfo sessionInfo{};
        sessionInfo.type = XR_TYPE_SESSION_CREATE_INFO;
        sessionInfo.systemId = system_;
        if (vulkan) {
            graphics_ = VulkanGraphics::Create(instance_, system_);
            sessionInfo.next = graphics_->SessionBinding();
        }
        Check(xrCreateSession(instance_, &sessionInfo, &session_), "xrCreateSession");
    }

    // Returns the result so that the caller can tell "no headset pose" from other failures.
    XrResult CreateLocalSpace() {
        XrReferenceSpaceCreateInfo spaceInfo{};
        spaceInfo.type = XR_TYPE_REFERENCE_SPACE_CREATE_INFO;
        spaceInfo.referenceSpaceType = XR_REFERENCE_SPACE_TYPE_LOCAL;
        spaceInfo.poseInReferenceSpace.orientation.w = 1.0f;
        return xrCreateReferenceSpace(session_, &spaceInfo, &space_);
    }

    void CreateSwapchain() {
        uint32_t viewCount = 0;
        Check(xrEnumerateViewConfigurationViews(instance_, system_,
                                                XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO, 0,
                                                &viewCount, nullptr),
              "xrEnumerateViewConfigurationViews");
        std::vector<XrViewConfigurationView> views(viewCount);
        for (XrViewConfigurationView& view : views) {
            view.type = XR_TYPE_VIEW_CONFIGURATION_VIEW;
        }
        Check(xrEnumerateViewConfigurationViews(instance_, system_,
                                                XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO,
                                                viewCount, &viewCount, views.data()),
              "xrEnumerateViewConfigurationViews");
        if (viewCount != 2) {
            throw XrFailure("the runtime's primary stereo configuration does not have 2 views",
                            XR_ERROR_VIEW_CONFIGURATION_TYPE_UNSUPPORTED);
        }
        uint32_t formatCount = 0;
        Check(xrEnumerateSwapchainFormats(session_, 0, &formatCount, nullptr),
              "xrEnumerateSwapchainFormats");
        std::vector<int64_t> formats(formatCount);
        Check(xrEnumerateSwapchainFormats(session_, formatCount, &formatCount, formats.data()),
              "xrEnumerateSwapchainFormats");
        if (formats.empty()) {
            throw XrFailure(graphics_ ? "the runtime offers no swapchain format"
                                      : "the runtime offers no swapchain format to a headless "
                                        "session (try --graphics vulkan)",
                            XR_ERROR_RUNTIME_FAILURE);
        }
        // One image holds both eyes side by side.
        eyeWidth_ = static_cast<int32_t>(views[0].recommendedImageRectWidth);
        eyeHeight_ = static_cast<int32_t>(views[0].recommendedImageRectHeight);
        if (graphics_ && eyeWidth_ > kMaxClearedEyeWidth) {
            // Cleared images show nothing that needs the full size; smaller ones spare a
            // software renderer's time. The compositor scales them.
            eyeHeight_ = std::max(1, eyeHeight_ * kMaxClearedEyeWidth / eyeWidth_);
            eyeWidth_ = kMaxClearedEyeWidth;
        }
        XrSwapchainCreateInfo swapchainInfo{};
        swapchainInfo.type = XR_TYPE_SWAPCHAIN_CREATE_INFO;
        swapchainInfo.usageFlags = XR_SWAPCHAIN_USAGE_COLOR_ATTACHMENT_BIT;
        swapchainInfo.format = formats[0];
        if (graphics_) {
            swapchainInfo.usageFlags |= XR_SWAPCHAIN_USAGE_TRANSFER_DST_BIT;
            swapchainInfo.format = graphics_->ChooseFormat(formats);
        }
        swapchainInfo.sampleCount = 1;
        swapchainInfo.width = static_cast<uint32_t>(eyeWidth_) * 2;
        swapchainInfo.height = static_cast<uint32_t>(eyeHeight_);
        swapchainInfo.faceCount = 1;
        swapchainInfo.arraySize = 1;
        swapchainInfo.mipCount = 1;
        Check(xrCreateSwapchain(session_, &swapchainInfo, &swapchain_), "xrCreateSwapchain");
        if (graphics_) {
            graphics_->TakeImages(swapchain_);
            return;
        }
        // Headless: only the count matters, the images are never touched.
        uint32_t imageCount = 0;
        Check(xrEnumerateSwapchainImages(swapchain_, 0, &imageCount, nullptr),
              "xrEnumerateSwapchainImages");
    }

    // Handles every queued event; returns false once the session has exited.
    bool PollEvents() {
        for (;;) {
            XrEventDataBuffer event{};
            event.type = XR_TYPE_EVENT_DATA_BUFFER;
            const XrResult result = xrPollEvent(instance_, &event);
            Check(result, "xrPollEvent");
            if (result == XR_EVENT_UNAVAILABLE) {
                return state_ != XR_SESSION_STATE_EXITING;
            }
            if (event.type != XR_TYPE_EVENT_DATA_SESSION_STATE_CHANGED) {
                continue;
            }
            state_ = reinterpret_cast<const XrEventDataSessionStateChanged&>(event).state;
            if (state_ == XR_SESSION_STATE_READY && !running_) {
                XrSessionBeginInfo beginInfo{};
                beginInfo.type = XR_TYPE_SESSION_BEGIN_INFO;
                beginInfo.primaryViewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
                Check(xrBeginSession(session_, &beginInfo), "xrBeginSession");
                running_ = true;
            } else if (state_ == XR_SESSION_STATE_STOPPING && running_) {
                Check(xrEndSession(session_), "xrEndSession");
                running_ = false;
            } else if (state_ == XR_SESSION_STATE_EXITING ||
                       state_ == XR_SESSION_STATE_LOSS_PENDING) {
                return false;
            }
        }
    }

    void WaitUntilRunning() {
        const double deadline = MonotonicSeconds() + kStartupTimeoutSeconds;
        while (!running_) {
            if (!PollEvents() || MonotonicSeconds() > deadline) {
                throw XrFailure("the session did not become ready", XR_ERROR_SESSION_NOT_READY);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    void RunFrame(RunResult& result) {
        XrFrameWaitInfo waitInfo{};
        waitInfo.type = XR_TYPE_FRAME_WAIT_INFO;
        XrFrameState frameState{};
        frameState.type = XR_TYPE_FRAME_STATE;
        Check(xrWaitFrame(session_, &waitInfo, &frameState), "xrWaitFrame");
        XrFrameBeginInfo beginInfo{};
        beginInfo.type = XR_TYPE_FRAME_BEGIN_INFO;
        Check(xrBeginFrame(session_, &beginInfo), "xrBeginFrame");

        XrCompositionLayerProjection layer{};
        std::array<XrCompositionLayerProjectionView, 2> projectionViews{};
        const XrCompositionLayerBaseHeader* layers[] = {
            reinterpret_cast<const XrCompositionLayerBaseHeader*>(&layer)};
        XrFrameEndInfo endInfo{};
        endInfo.type = XR_TYPE_FRAME_END_INFO;
        endInfo.displayTime = frameState.predictedDisplayTime;
        endInfo.environmentBlendMode = XR_ENVIRONMENT_BLEND_MODE_OPAQUE;

        if (frameState.shouldRender == XR_TRUE &&
            LocateAndRender(frameState, result, projectionViews)) {
            layer.type = XR_TYPE_COMPOSITION_LAYER_PROJECTION;
            layer.space = space_;
            layer.viewCount = 2;
            layer.views = projectionViews.data();
            endInfo.layerCount = 1;
            endInfo.layers = layers;
        }
        Check(xrEndFrame(session_, &endInfo), "xrEndFrame");
        result.layersSubmitted += endInfo.layerCount;
        ++result.frames;
    }

    XrSession Handle() const { return session_; }
    bool Running() const { return running_; }

private:
    bool Offers(const char* extension) const {
        if (offered_.empty()) {
            offered_ = OfferedExtensions();
        }
        return std::find(offered_.begin(), offered_.end(), extension) != offered_.end();
    }

    std::vector<std::string> OfferedExtensions() const {
        uint32_t count = 0;
        Check(xrEnumerateInstanceExtensionProperties(nullptr, 0, &count, nullptr),
              "xrEnumerateInstanceExtensionProperties");
        std::vector<XrExtensionProperties> properties(count, {XR_TYPE_EXTENSION_PROPERTIES});
        Check(xrEnumerateInstanceExtensionProperties(nullptr, count, &count, properties.data()),
              "xrEnumerateInstanceExtensionProperties");
        std::vector<std::string> names;
        for (const XrExtensionProperties& property : properties) {
            names.emplace_back(property.extensionName);
        }
        return names;
    }

    bool ChooseVulkan(GraphicsMode mode) const {
        if (mode == GraphicsMode::kHeadless) {
            return false;
        }
        if (!VulkanGraphics::Available()) {
            if (mode == GraphicsMode::kVulkan) {
                throw XrFailure("this tarvex-demo was built without Vulkan",
                                XR_ERROR_EXTENSION_NOT_PRESENT);
            }
            return false;
        }
        if (mode == GraphicsMode::kVulkan) {
            if (!Offers(VulkanGraphics::ExtensionName())) {
                throw XrFailure(
                    std::string("the runtime does not offer ") + VulkanGraphics::ExtensionName(),
                    XR_ERROR_EXTENSION_NOT_PRESENT);
            }
            return true;
        }
        return !Offers(XR_MND_HEADLESS_EXTENSION_NAME) && Offers(VulkanGraphics::ExtensionName());
    }

    // The display time on the monotonic clock of MonotonicSeconds().
    double DisplaySeconds(XrTime time) const {
        if (toTimespec_ == nullptr) {
            return static_cast<double>(time) * 1e-9;
        }
        timespec converted{};
        Check(toTimespec_(instance_, time, &converted), "xrConvertTimeToTimespecTimeKHR");
        return static_cast<double>(converted.tv_sec) +
               static_cast<double>(converted.tv_nsec) * 1e-9;
    }

    bool LocateAndRender(const XrFrameState& frameState, RunResult& result,
                         std::array<XrCompositionLayerProjectionView, 2>& projectionViews) {
        XrViewLocateInfo locateInfo{};
        locateInfo.type = XR_TYPE_VIEW_LOCATE_INFO;
        locateInfo.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        locateInfo.displayTime = frameState.predictedDisplayTime;
        locateInfo.space = space_;
        XrViewState viewState{};
        viewState.type = XR_TYPE_VIEW_STATE;
        std::array<XrView, 2> views{};
        views[0].type = views[1].type = XR_TYPE_VIEW;
        uint32_t viewCount = 0;
        const double callSeconds = MonotonicSeconds();
        Check(xrLocateViews(session_, &locateInfo, &viewState, 2, &viewCount, views.data()),
              "xrLocateViews");
        constexpr XrViewStateFlags kPoseValid =
            XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT;
        if (viewCount != 2 || (viewState.viewStateFlags & kPoseValid) != kPoseValid) {
            return false;
        }
        result.samples.push_back({callSeconds, frameState.predictedDisplayTime,
                                  DisplaySeconds(frameState.predictedDisplayTime), views[0].pose,
                                  views[1].pose, viewState.viewStateFlags});

        uint32_t imageIndex = 0;
        XrSwapchainImageAcquireInfo acquireInfo{};
        acquireInfo.type = XR_TYPE_SWAPCHAIN_IMAGE_ACQUIRE_INFO;
        Check(xrAcquireSwapchainImage(swapchain_, &acquireInfo, &imageIndex),
              "xrAcquireSwapchainImage");
        XrSwapchainImageWaitInfo imageWaitInfo{};
        imageWaitInfo.type = XR_TYPE_SWAPCHAIN_IMAGE_WAIT_INFO;
        imageWaitInfo.timeout = XR_INFINITE_DURATION;
        Check(xrWaitSwapchainImage(swapchain_, &imageWaitInfo), "xrWaitSwapchainImage");
        // A real application would render here; the demo clears the image when it has graphics
        // and otherwise only hands it back.
        if (graphics_) {
            graphics_->Clear(imageIndex);
        }
        XrSwapchainImageReleaseInfo releaseInfo{};
        releaseInfo.type = XR_TYPE_SWAPCHAIN_IMAGE_RELEASE_INFO;
        Check(xrReleaseSwapchainImage(swapchain_, &releaseInfo), "xrReleaseSwapchainImage");

        for (int eye = 0; eye < 2; ++eye) {
            XrCompositionLayerProjectionView& view = projectionViews[eye];
            view.type = XR_TYPE_COMPOSITION_LAYER_PROJECTION_VIEW;
            view.pose = views[eye].pose;
            view.fov = views[eye].fov;
            view.subImage.swapchain = swapchain_;
            view.subImage.imageRect = {{eye * eyeWidth_, 0}, {eyeWidth_, eyeHeight_}};
            view.subImage.imageArrayIndex = 0;
        }
        return true;
    }

    XrInstance instance_ = XR_NULL_HANDLE;
    XrSystemId system_ = XR_NULL_SYSTEM_ID;
    XrSession session_ = XR_NULL_HANDLE;
    XrSpace space_ = XR_NULL_HANDLE;
    XrSwapchain swapchain_ = XR_NULL_HANDLE;
    XrSessionState state_ = XR_SESSION_STATE_UNKNOWN;
    bool running_ = false;
    int32_t eyeWidth_ = 0;
    int32_t eyeHeight_ = 0;
    std::unique_ptr<VulkanGraphics> graphics_;
    PFN_xrConvertTimeToTimespecTimeKHR toTimespec_ = nullptr;
    mutable std::vector<std::string> offered_;
};

bool Finished(const DemoOptions& options, const RunResult& result, double start) {
    return options.frames != 0 ? result.frames >= options.frames
                               : MonotonicSeconds() - start >= options.seconds;
}

}  // namespace

double MonotonicSeconds() {
    return platform::MonotonicSeconds();
}

RunResult RunDemoSession(const DemoOptions& options, const ProgressCallback& progress) {
    RunResult result;
    // Room for every sample up front, so that the frame loop does not allocate.
    result.samples.reserve(options.frames != 0 ? options.frames + 16
                                               : static_cast<size_t>(options.seconds * 100.0) + 16);
    Session session;
    try {
        session.CreateInstanceAndSession(options.graphics, options.apiVersion);
        if (const XrResult spaceResult = session.CreateLocalSpace(); XR_FAILED(spaceResult)) {
            result.outcome = RunOutcome::kNoReferenceSpace;
            result.message = "xrCreateReferenceSpace failed: " + session.Describe(spaceResult);
            return result;
        }
        session.CreateSwapchain();
        session.WaitUntilRunning();

        const double start = MonotonicSeconds();
        double nextProgress = start + 1.0;
        bool exitRequested = false;
        double exitDeadline = 0.0;
        while (session.PollEvents()) {
            if (!exitRequested && Finished(options, result, start)) {
                session.Check(xrRequestExitSession(session.Handle()), "xrRequestExitSession");
                exitRequested = true;
                exitDeadline = MonotonicSeconds() + kShutdownTimeoutSeconds;
                continue;  // let the runtime's answer arrive before another frame
            }
            if (exitRequested && MonotonicSeconds() > exitDeadline) {
                throw XrFailure("the session did not exit", XR_ERROR_RUNTIME_FAILURE);
            }
            if (!session.Running()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            // After the exit request, frames go on until the runtime says the session stops.
            session.RunFrame(result);
            if (MonotonicSeconds() >= nextProgress && !result.samples.empty()) {
                progress(result.samples.back(), result.frames);
                nextProgress += 1.0;
            }
        }
        result.outcome = RunOutcome::kCompleted;
    } catch (const XrFailure& failure) {
        result.outcome = RunOutcome::kFailed;
        result.message = failure.what();
    } catch (const GraphicsFailure& failure) {
        result.outcome = RunOutcome::kFailed;
        result.message = failure.what();
    }
    return result;
}

}  // namespace demo
