// Loads the layer DLL the way the OpenXR loader does on Windows and drives it through two
// lives: negotiate, create an instance over a fake runtime, start the tracker through
// xrLocateViews against a motion-capture server, see the tracked pose, destroy the instance and
// free the DLL; live on while the tracker's threads keep running, then do it all again.
//
// Usage: windows_layer_load_test <layer dll> <headset rigid-body id> <headset height in metres>
// The motion-capture server must be running on this machine's standard ports.

#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>

#include "LoaderRecords.h"
#include "tests/windows/FakeNextElement.h"

namespace {

constexpr char kLayerName[] = "XR_APILAYER_TARVEX_tracking_override";
constexpr float kIpdMillimetres = 64.0f;
constexpr auto kPoseDeadline = std::chrono::seconds(20);

bool Check(bool condition, const std::string& what) {
    std::printf("%s: %s\n", condition ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    return condition;
}

struct ViewPair {
    XrResult result = XR_ERROR_RUNTIME_FAILURE;
    XrView views[2] = {{XR_TYPE_VIEW}, {XR_TYPE_VIEW}};

    float MeanHeight() const { return (views[0].pose.position.y + views[1].pose.position.y) / 2; }
    float EyeDistance() const {
        const XrVector3f& a = views[0].pose.position;
        const XrVector3f& b = views[1].pose.position;
        return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                         (a.z - b.z) * (a.z - b.z));
    }
};

// One LoadLibrary of the layer with one instance over its own next element.
class LayerLife {
public:
    LayerLife(const std::string& dllPath, windows_test::FakeNextElement next) : next_(next) {
        module_ = LoadLibraryA(dllPath.c_str());
        if (!Check(module_ != nullptr, "LoadLibrary " + dllPath)) {
            return;
        }
        auto negotiate = reinterpret_cast<PFN_xrNegotiateLoaderApiLayerInterface>(
            reinterpret_cast<void*>(GetProcAddress(module_, "xrNegotiateLoaderApiLayerInterface")));
        if (!Check(negotiate != nullptr, "the DLL exports xrNegotiateLoaderApiLayerInterface")) {
            return;
        }
        const XrNegotiateLoaderInfo info = DebianLoaderInfo();
        XrNegotiateApiLayerRequest request = EmptyApiLayerRequest();
        if (!Check(negotiate(&info, kLayerName, &request) == XR_SUCCESS &&
                       request.getInstanceProcAddr != nullptr &&
                       request.createApiLayerInstance != nullptr,
                   "negotiation hands over both entries")) {
            return;
        }
        getInstanceProcAddr_ = request.getInstanceProcAddr;

        XrApiLayerNextInfo nextInfo{XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO,
                                    XR_API_LAYER_NEXT_INFO_STRUCT_VERSION,
                                    sizeof(XrApiLayerNextInfo)};
        std::strcpy(nextInfo.layerName, kLayerName);
        nextInfo.nextGetInstanceProcAddr = next_.getInstanceProcAddr;
        nextInfo.nextCreateApiLayerInstance = next_.createApiLayerInstance;
        XrApiLayerCreateInfo create{XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO,
                                    XR_API_LAYER_CREATE_INFO_STRUCT_VERSION,
                                    sizeof(XrApiLayerCreateInfo)};
        create.nextInfo = &nextInfo;
        const XrInstanceCreateInfo application{XR_TYPE_INSTANCE_CREATE_INFO};
        ready_ =
            Check(request.createApiLayerInstance(&application, &create, &instance_) == XR_SUCCESS,
                  "instance created over the fake runtime");
    }

    bool Ready() const { return ready_; }

    ViewPair LocateViews() const {
        ViewPair pair;
        XrViewLocateInfo locate{XR_TYPE_VIEW_LOCATE_INFO};
        locate.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        XrViewState state{XR_TYPE_VIEW_STATE};
        uint32_t count = 0;
        pair.result = Function<PFN_xrLocateViews>("xrLocateViews")(XR_NULL_HANDLE, &locate, &state,
                                                                   2, &count, pair.views);
        return pair;
    }

    // Calls xrLocateViews until the views carry the tracked headset rather than the runtime's.
    bool SeesTrackedPose(float headsetHeight) const {
        const auto deadline = std::chrono::steady_clock::now() + kPoseDeadline;
        ViewPair pair;
        do {
            pair = LocateViews();
            if (pair.result == XR_SUCCESS && std::fabs(pair.MeanHeight() - headsetHeight) < 1e-3f) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < deadline);
        const bool tracked =
            Check(pair.result == XR_SUCCESS && std::fabs(pair.MeanHeight() - headsetHeight) < 1e-3f,
                  "views at the tracked height " + std::to_string(headsetHeight) + " m (saw " +
                      std::to_string(pair.MeanHeight()) + " m)");
        const bool eyes = Check(std::fabs(pair.EyeDistance() - kIpdMillimetres / 1000.0f) < 1e-4f,
                                "eyes the configured distance apart (saw " +
                                    std::to_string(pair.EyeDistance()) + " m)");
        return tracked && eyes;
    }

    bool DestroyAndFree() {
        const bool destroyed =
            Check(Function<PFN_xrDestroyInstance>("xrDestroyInstance")(instance_) == XR_SUCCESS,
                  "xrDestroyInstance");
        return Check(FreeLibrary(module_) != 0, "FreeLibrary") && destroyed;
    }

private:
    template <typename Pfn>
    Pfn Function(const char* name) const {
        PFN_xrVoidFunction function = nullptr;
        getInstanceProcAddr_(instance_, name, &function);
        return reinterpret_cast<Pfn>(function);
    }

    windows_test::FakeNextElement next_;
    HMODULE module_ = nullptr;
    PFN_xrGetInstanceProcAddr getInstanceProcAddr_ = nullptr;
    XrInstance instance_ = XR_NULL_HANDLE;
    bool ready_ = false;
};

// The layer reads its settings from the directory that TARVEX_OPENXR_CONFIG names.
std::filesystem::path WriteConfiguration(int headsetId) {
    const auto directory = std::filesystem::temp_directory_path() /
                           ("tarvex-windows-load-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(directory);
    std::ofstream(directory / "TarvexOpenXRConfig.ini")
        << "[SETTINGS]\n"
           "connectiontype = 0\n"
           "localaddress = 127.0.0.1\n"
           "serveraddress = 127.0.0.1\n"
           "hmdrbid = "
        << headsetId << "\nipd = " << kIpdMillimetres
        << "\n"
           "overrider = false\n"
           "controllerrrbid = 2\n"
           "overridel = false\n"
           "controllerlrbid = 3\n";
    _putenv_s("TARVEX_OPENXR_CONFIG", directory.string().c_str());
    return directory;
}

bool Run(const std::string& dllPath, float headsetHeight) {
    {
        LayerLife first(dllPath, windows_test::FirstNextElement());
        if (!first.Ready() || !first.SeesTrackedPose(headsetHeight) || !first.DestroyAndFree()) {
            return false;
        }
    }
    // The tracker's threads run on inside the DLL; the layer keeps it mapped for them.
    if (!Check(GetModuleHandleA("tarvex_tracking.dll") != nullptr,
               "the DLL stays mapped after FreeLibrary")) {
        return false;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Check(true, "alive three seconds after FreeLibrary");

    const int firstCalls = *windows_test::FirstNextElement().locateViewsCalls;
    LayerLife second(dllPath, windows_test::SecondNextElement());
    if (!second.Ready() || !second.SeesTrackedPose(headsetHeight)) {
        return false;
    }
    const bool routed = Check(*windows_test::FirstNextElement().locateViewsCalls == firstCalls &&
                                  *windows_test::SecondNextElement().locateViewsCalls > 0,
                              "the second instance calls its own next element only");
    return second.DestroyAndFree() && routed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <layer dll> <headset rigid-body id> <headset height>\n",
                     argv[0]);
        return 2;
    }
    const auto directory = WriteConfiguration(std::atoi(argv[2]));
    const bool passed = Run(argv[1], std::strtof(argv[3], nullptr));
    // The layer's log file stays open in the configuration directory while the process runs.
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    std::printf("%s\n",
                passed ? "windows layer load test passed" : "windows layer load test failed");
    return passed ? 0 : 1;
}
