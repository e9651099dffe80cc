// tarvex-e2e-space-probe: an OpenXR application for the end-to-end tests of the layer's options.
// Through the system's loader it runs a headless session with a LOCAL and a VIEW reference space
// and, each frame, locates the views in LOCAL and each space in the other at the frame's display
// time. One line per frame goes to the file given with --out:
//
//   frame call=<s> display=<ns> view_flags=<n> left=<pose> right=<pose>
//         view_in_local=<pose> view_in_local_flags=<n> local_in_view=<pose> local_in_view_flags=<n>
//
// (one line), `call` in seconds on the monotonic clock when xrLocateViews was called, a pose as
// px,py,pz,qx,qy,qz,qw; VIEW in LOCAL also gives its velocities' flags
// (view_in_local_velocity=<n>). With --time-conversion the probe enables
// XR_KHR_convert_timespec_time itself.
//
// With --locate-spaces core (OpenXR 1.1's xrLocateSpaces) or khr (xrLocateSpacesKHR, the probe
// enabling XR_KHR_locate_spaces), it also locates both spaces in one batch in LOCAL and in VIEW,
// with velocities, and adds to the line, for VIEW in LOCAL and LOCAL in VIEW:
//
//   batch_view_in_local=<pose> batch_view_in_local_flags=<n> batch_view_in_local_velocity=<n>
//   batch_local_in_view=<pose> batch_local_in_view_flags=<n> batch_local_in_view_velocity=<n>
//
// --api-version 1.0 or 1.1 (default 1.0) is the version the probe asks for.
// Exit codes: 0 done, 1 bad arguments, 2 an OpenXR call failed (named on standard error).

#include <openxr/openxr.h>

#include "platform/LocateSpacesDeclarations.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: tarvex-e2e-space-probe --out FILE (--frames N | --seconds S) [--api-version 1.0|1.1]\n"
    "       [--locate-spaces core|khr] [--time-conversion]\n";
constexpr int kMaxStartupPolls = 1000;

double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Arguments {
    std::string out;
    long frames = 0;
    double seconds = 0.0;
    bool timeConversion = false;
    XrVersion apiVersion = XR_MAKE_VERSION(1, 0, 0);
    std::string locateSpaces;  // empty, "core" or "khr"
};

bool ParseArguments(int argc, char** argv, Arguments* arguments) {
    if (argc > 1 && std::string(argv[argc - 1]) == "--time-conversion") {
        arguments->timeConversion = true;
        --argc;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        char* end = nullptr;
        if (name == "--out") {
            arguments->out = argv[i + 1];
        } else if (name == "--frames") {
            arguments->frames = std::strtol(argv[i + 1], &end, 10);
        } else if (name == "--seconds") {
            arguments->seconds = std::strtod(argv[i + 1], &end);
        } else if (name == "--api-version" && std::string(argv[i + 1]) == "1.0") {
            arguments->apiVersion = XR_MAKE_VERSION(1, 0, 0);
        } else if (name == "--api-version" && std::string(argv[i + 1]) == "1.1") {
            arguments->apiVersion = XR_MAKE_VERSION(1, 1, 0);
        } else if (name == "--locate-spaces" &&
                   (std::string(argv[i + 1]) == "core" || std::string(argv[i + 1]) == "khr")) {
            arguments->locateSpaces = argv[i + 1];
        } else {
            return false;
        }
        if (end != nullptr && *end != '\0') {
            return false;
        }
    }
    return argc % 2 == 1 && !arguments->out.empty() &&
           (arguments->frames > 0) != (arguments->seconds > 0.0);
}

void PrintPose(std::FILE* out, const char* name, const XrPosef& pose) {
    std::fprintf(out, " %s=%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g", name, pose.position.x,
                 pose.position.y, pose.position.z, pose.orientation.x, pose.orientation.y,
                 pose.orientation.z, pose.orientation.w);
}

class Probe {
public:
    ~Probe() {
        for (XrSpace space : {view_, local_}) {
            if (space != XR_NULL_HANDLE) {
                xrDestroySpace(space);
            }
        }
        if (session_ != XR_NULL_HANDLE) {
            xrDestroySession(session_);
        }
        if (instance_ != XR_NULL_HANDLE) {
            xrDestroyInstance(instance_);
        }
    }

    // False, with the failing call on standard error, when an OpenXR call fails.
    bool Run(const Arguments& arguments, std::FILE* out) {
        if (!Start(arguments)) {
            return false;
        }
        const double until = MonotonicSeconds() + arguments.seconds;
        for (long frame = 0;
             arguments.frames > 0 ? frame < arguments.frames : MonotonicSeconds() < until;
             ++frame) {
            if (!Frame(out)) {
                return false;
            }
        }
        return Stop();
    }

private:
    bool Check(XrResult result, const char* call) {
        if (XR_FAILED(result)) {
            std::fprintf(stderr, "tarvex-e2e-space-probe: %s failed: %d\n", call,
                         static_cast<int>(result));
            return false;
        }
        return true;
    }

    XrSessionState NextState() {
        for (int polls = 0; polls < kMaxStartupPolls; ++polls) {
            XrEventDataBuffer event{XR_TYPE_EVENT_DATA_BUFFER};
            const XrResult result = xrPollEvent(instance_, &event);
            if (result == XR_SUCCESS && event.type == XR_TYPE_EVENT_DATA_SESSION_STATE_CHANGED) {
                return reinterpret_cast<const XrEventDataSessionStateChanged&>(event).state;
            }
            if (XR_FAILED(result)) {
                Check(result, "xrPollEvent");
                return XR_SESSION_STATE_UNKNOWN;
            }
        }
        return XR_SESSION_STATE_UNKNOWN;
    }

    bool WaitForState(XrSessionState wanted) {
        for (XrSessionState state = NextState(); state != wanted; state = NextState()) {
            if (state == XR_SESSION_STATE_UNKNOWN) {
                std::fprintf(stderr, "tarvex-e2e-space-probe: session state %d never came\n",
                             static_cast<int>(wanted));
                return false;
            }
        }
        return true;
    }

    bool CreateSpace(XrReferenceSpaceType type, XrSpace* space) {
        XrReferenceSpaceCreateInfo info{XR_TYPE_REFERENCE_SPACE_CREATE_INFO};
        info.referenceSpaceType = type;
        info.poseInReferenceSpace.orientation.w = 1.0f;
        return Check(xrCreateReferenceSpace(session_, &info, space), "xrCreateReferenceSpace");
    }

    bool Start(const Arguments& arguments) {
        XrInstanceCreateInfo createInfo{XR_TYPE_INSTANCE_CREATE_INFO};
        std::strncpy(createInfo.applicationInfo.applicationName, "tarvex-e2e-space-probe",
                     XR_MAX_APPLICATION_NAME_SIZE - 1);
        createInfo.applicationInfo.apiVersion = arguments.apiVersion;
        const char* extensions[3] = {XR_MND_HEADLESS_EXTENSION_NAME};
        uint32_t extensionCount = 1;
        if (arguments.timeConversion) {
            extensions[extensionCount++] = "XR_KHR_convert_timespec_time";
        }
        if (arguments.locateSpaces == "khr") {
            extensions[extensionCount++] = kLocateSpacesExtension;
        }
        createInfo.enabledExtensionCount = extensionCount;
        createInfo.enabledExtensionNames = extensions;
        if (!Check(xrCreateInstance(&createInfo, &instance_), "xrCreateInstance")) {
            return false;
        }
        if (!arguments.locateSpaces.empty()) {
            const char* name =
                arguments.locateSpaces == "core" ? "xrLocateSpaces" : "xrLocateSpacesKHR";
            PFN_xrVoidFunction function = nullptr;
            if (!Check(xrGetInstanceProcAddr(instance_, name, &function), name)) {
                return false;
            }
            if (function == nullptr) {
                std::fprintf(stderr, "tarvex-e2e-space-probe: no %s\n", name);
                return false;
            }
            locateSpaces_ = reinterpret_cast<PFN_xrLocateSpaces>(function);
        }
        XrSystemGetInfo systemInfo{XR_TYPE_SYSTEM_GET_INFO};
        systemInfo.formFactor = XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY;
        XrSystemId system = XR_NULL_SYSTEM_ID;
        if (!Check(xrGetSystem(instance_, &systemInfo, &system), "xrGetSystem")) {
            return false;
        }
        XrSessionCreateInfo sessionInfo{XR_TYPE_SESSION_CREATE_INFO};
        sessionInfo.systemId = system;
        if (!Check(xrCreateSession(instance_, &sessionInfo, &session_), "xrCreateSession") ||
            !WaitForState(XR_SESSION_STATE_READY)) {
            return false;
        }
        XrSessionBeginInfo beginInfo{XR_TYPE_SESSION_BEGIN_INFO};
        beginInfo.primaryViewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        return Check(xrBeginSession(session_, &beginInfo), "xrBeginSession") &&
               CreateSpace(XR_REFERENCE_SPACE_TYPE_LOCAL, &local_) &&
               CreateSpace(XR_REFERENCE_SPACE_TYPE_VIEW, &view_);
    }

    bool Frame(std::FILE* out) {
        XrFrameState frameState{XR_TYPE_FRAME_STATE};
        if (!Check(xrWaitFrame(session_, nullptr, &frameState), "xrWaitFrame") ||
            !Check(xrBeginFrame(session_, nullptr), "xrBeginFrame")) {
            return false;
        }
        const XrTime time = frameState.predictedDisplayTime;
        XrViewLocateInfo locateInfo{XR_TYPE_VIEW_LOCATE_INFO};
        locateInfo.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        locateInfo.displayTime = time;
        locateInfo.space = local_;
        XrViewState viewState{XR_TYPE_VIEW_STATE};
        XrView views[2] = {{XR_TYPE_VIEW}, {XR_TYPE_VIEW}};
        uint32_t viewCount = 0;
        const double call = MonotonicSeconds();
        XrSpaceVelocity viewInLocalVelocity{XR_TYPE_SPACE_VELOCITY};
        XrSpaceLocation viewInLocal{XR_TYPE_SPACE_LOCATION, &viewInLocalVelocity};
        XrSpaceLocation localInView{XR_TYPE_SPACE_LOCATION};
        if (!Check(xrLocateViews(session_, &locateInfo, &viewState, 2, &viewCount, views),
                   "xrLocateViews") ||
            !Check(xrLocateSpace(view_, local_, time, &viewInLocal), "xrLocateSpace") ||
            !Check(xrLocateSpace(local_, view_, time, &localInView), "xrLocateSpace")) {
            return false;
        }
        Batch inLocal;
        Batch inView;
        if (locateSpaces_ != nullptr &&
            (!LocateBatch(local_, time, &inLocal) || !LocateBatch(view_, time, &inView))) {
            return false;
        }
        XrFrameEndInfo endInfo{XR_TYPE_FRAME_END_INFO};
        endInfo.displayTime = time;
        endInfo.environmentBlendMode = XR_ENVIRONMENT_BLEND_MODE_OPAQUE;
        if (!Check(xrEndFrame(session_, &endInfo), "xrEndFrame")) {
            return false;
        }
        std::fprintf(out, "frame call=%.6f display=%lld view_flags=%llu", call,
                     static_cast<long long>(time),
                     static_cast<unsigned long long>(viewState.viewStateFlags));
        PrintPose(out, "left", views[0].pose);
        PrintPose(out, "right", views[1].pose);
        PrintPose(out, "view_in_local", viewInLocal.pose);
        std::fprintf(out, " view_in_local_flags=%llu view_in_local_velocity=%llu",
                     static_cast<unsigned long long>(viewInLocal.locationFlags),
                     static_cast<unsigned long long>(viewInLocalVelocity.velocityFlags));
        PrintPose(out, "local_in_view", localInView.pose);
        std::fprintf(out, " local_in_view_flags=%llu",
                     static_cast<unsigned long long>(localInView.locationFlags));
        if (locateSpaces_ != nullptr) {
            PrintBatchEntry(out, "batch_view_in_local", inLocal, 0);
            PrintBatchEntry(out, "batch_local_in_view", inView, 1);
        }
        std::fputc('\n', out);
        return true;
    }

    // VIEW and LOCAL located in one batch, in that order.
    struct Batch {
        XrSpaceLocationData locations[2]{};
        XrSpaceVelocityData velocities[2]{};
    };

    bool LocateBatch(XrSpace base, XrTime time, Batch* batch) {
        const XrSpace spaces[2] = {view_, local_};
        const XrSpacesLocateInfo info{XR_TYPE_SPACES_LOCATE_INFO, nullptr, base, time, 2, spaces};
        XrSpaceVelocities velocities{XR_TYPE_SPACE_VELOCITIES, nullptr, 2, batch->velocities};
        XrSpaceLocations locations{XR_TYPE_SPACE_LOCATIONS, &velocities, 2, batch->locations};
        return Check(locateSpaces_(session_, &info, &locations), "the batch location");
    }

    static void PrintBatchEntry(std::FILE* out, const char* name, const Batch& batch, int index) {
        PrintPose(out, name, batch.locations[index].pose);
        std::fprintf(out, " %s_flags=%llu %s_velocity=%llu", name,
                     static_cast<unsigned long long>(batch.locations[index].locationFlags), name,
                     static_cast<unsigned long long>(batch.velocities[index].velocityFlags));
    }

    bool Stop() {
        if (!Check(xrRequestExitSession(session_), "xrRequestExitSession") ||
            !WaitForState(XR_SESSION_STATE_STOPPING) ||
            !Check(xrEndSession(session_), "xrEndSession")) {
            return false;
        }
        for (XrSpace* space : {&view_, &local_}) {
            const XrResult result = xrDestroySpace(*space);
            *space = XR_NULL_HANDLE;
            if (!Check(result, "xrDestroySpace")) {
                return false;
            }
        }
        return true;
    }

    XrInstance instance_ = XR_NULL_HANDLE;
    XrSession session_ = XR_NULL_HANDLE;
    XrSpace local_ = XR_NULL_HANDLE;
    XrSpace view_ = XR_NULL_HANDLE;
    PFN_xrLocateSpaces locateSpaces_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!ParseArguments(argc, argv, &arguments)) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    std::FILE* out = std::fopen(arguments.out.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "tarvex-e2e-space-probe: cannot write %s\n", arguments.out.c_str());
        return 1;
    }
    bool done = false;
    {
        Probe probe;
        done = probe.Run(arguments, out);
    }
    std::fclose(out);
    return done ? 0 : 2;
}
