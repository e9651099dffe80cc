// Loads the built layer library the way the OpenXR loader does, starts the tracker inside it,
// unloads it and loads it again. The tracker's threads keep running code of the library, so
// the library must stay mapped, and the second instance must reach its own next element.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "LoaderRecords.h"
#include "TestSupport.h"

namespace {

int locateCallsFirst = 0;
int locateCallsSecond = 0;

template <int* Calls>
XrResult XRAPI_CALL FakeLocateViews(XrSession, const XrViewLocateInfo*, XrViewState*,
                                    uint32_t capacity, uint32_t* count, XrView* views) {
    ++*Calls;
    *count = 2;
    for (uint32_t i = 0; i < capacity && i < 2; ++i) {
        views[i].pose = {{0, 0, 0, 1}, {0, 1.7f, 0}};
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL FakeDestroyInstance(XrInstance) {
    return XR_SUCCESS;
}
XrResult XRAPI_CALL FakeOther() {
    return XR_SUCCESS;
}

template <int* Calls>
XrResult XRAPI_CALL FakeGetInstanceProcAddr(XrInstance, const char* name,
                                            PFN_xrVoidFunction* function) {
    if (std::strcmp(name, "xrLocateViews") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeLocateViews<Calls>);
    } else if (std::strcmp(name, "xrDestroyInstance") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeDestroyInstance);
    } else {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeOther);
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL FakeCreateApiLayerInstance(const XrInstanceCreateInfo*,
                                               const XrApiLayerCreateInfo*, XrInstance* instance) {
    *instance = reinterpret_cast<XrInstance>(0x1);
    return XR_SUCCESS;
}

// One load of the library, negotiated and with an instance over the given next element.
struct LoadedLayer {
    void* library = nullptr;
    PFN_xrGetInstanceProcAddr getInstanceProcAddr = nullptr;
    XrInstance instance = XR_NULL_HANDLE;

    void Load(PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr) {
        library = dlopen(TARVEX_LAYER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            ADD_FAILURE() << dlerror();
            return;
        }
        auto negotiate = reinterpret_cast<PFN_xrNegotiateLoaderApiLayerInterface>(
            dlsym(library, "xrNegotiateLoaderApiLayerInterface"));
        ASSERT_NE(negotiate, nullptr);

        const XrNegotiateLoaderInfo info = DebianLoaderInfo();
        XrNegotiateApiLayerRequest request = EmptyApiLayerRequest();
        ASSERT_EQ(negotiate(&info, "XR_APILAYER_TARVEX_tracking_override", &request), XR_SUCCESS);
        getInstanceProcAddr = request.getInstanceProcAddr;

        XrApiLayerNextInfo next{XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO,
                                XR_API_LAYER_NEXT_INFO_STRUCT_VERSION, sizeof(XrApiLayerNextInfo)};
        std::strcpy(next.layerName, "XR_APILAYER_TARVEX_tracking_override");
        next.nextGetInstanceProcAddr = nextGetInstanceProcAddr;
        next.nextCreateApiLayerInstance = &FakeCreateApiLayerInstance;
        XrApiLayerCreateInfo create{XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO,
                                    XR_API_LAYER_CREATE_INFO_STRUCT_VERSION,
                                    sizeof(XrApiLayerCreateInfo)};
        create.nextInfo = &next;
        const XrInstanceCreateInfo application{XR_TYPE_INSTANCE_CREATE_INFO};
        ASSERT_EQ(request.createApiLayerInstance(&application, &create, &instance), XR_SUCCESS);
    }

    template <typename Pfn>
    Pfn Function(const char* name) const {
        PFN_xrVoidFunction function = nullptr;
        EXPECT_EQ(getInstanceProcAddr(instance, name, &function), XR_SUCCESS);
        return reinterpret_cast<Pfn>(function);
    }

    void LocateViews() const {
        XrViewLocateInfo locate{XR_TYPE_VIEW_LOCATE_INFO};
        locate.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        XrViewState state{XR_TYPE_VIEW_STATE};
        XrView views[2] = {{XR_TYPE_VIEW}, {XR_TYPE_VIEW}};
        uint32_t count = 0;
        EXPECT_EQ(Function<PFN_xrLocateViews>("xrLocateViews")(XR_NULL_HANDLE, &locate, &state, 2,
                                                               &count, views),
                  XR_SUCCESS);
    }

    void DestroyAndClose() {
        EXPECT_EQ(Function<PFN_xrDestroyInstance>("xrDestroyInstance")(instance), XR_SUCCESS);
        EXPECT_EQ(dlclose(library), 0);
    }
};

TEST(LayerLibrary, SurvivesUnloadWhileTheTrackerRunsAndServesANewInstance) {
    const auto directory = MakeTemporaryDirectory();
    SettingsFile{}.WriteTo(directory);
    SetVariable("TARVEX_OPENXR_CONFIG", directory.c_str());

    {
        LoadedLayer first;
        ASSERT_NO_FATAL_FAILURE(first.Load(&FakeGetInstanceProcAddr<&locateCallsFirst>));
        first.LocateViews();  // starts the tracker: its watchdog now runs inside the library
        first.DestroyAndClose();
    }
    EXPECT_NE(dlopen(TARVEX_LAYER_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the library was unmapped under its running threads";
    std::this_thread::sleep_for(std::chrono::seconds(3));

    LoadedLayer second;
    ASSERT_NO_FATAL_FAILURE(second.Load(&FakeGetInstanceProcAddr<&locateCallsSecond>));
    second.LocateViews();

    EXPECT_EQ(locateCallsFirst, 1);
    EXPECT_EQ(locateCallsSecond, 1);
    std::filesystem::remove_all(directory);
}

}  // namespace
