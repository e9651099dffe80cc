// Asks the system's OpenXR loader which API layers it finds and, with --create-instance, creates
// and destroys one instance, so that the loader loads every implicit layer it found. The install
// test reads the output.

#include <openxr/openxr.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const bool createInstance = argc > 1 && std::strcmp(argv[1], "--create-instance") == 0;

    uint32_t count = 0;
    if (xrEnumerateApiLayerProperties(0, &count, nullptr) != XR_SUCCESS) {
        std::fprintf(stderr, "xrEnumerateApiLayerProperties failed\n");
        return 1;
    }
    std::vector<XrApiLayerProperties> layers(count, {XR_TYPE_API_LAYER_PROPERTIES});
    if (xrEnumerateApiLayerProperties(count, &count, layers.data()) != XR_SUCCESS) {
        std::fprintf(stderr, "xrEnumerateApiLayerProperties failed\n");
        return 1;
    }
    for (const XrApiLayerProperties& layer : layers) {
        std::printf("layer: %s version %u\n", layer.layerName, layer.layerVersion);
    }

    if (createInstance) {
        XrInstanceCreateInfo info{XR_TYPE_INSTANCE_CREATE_INFO};
        std::strcpy(info.applicationInfo.applicationName, "tarvex-api-layer-probe");
        info.applicationInfo.apiVersion = XR_MAKE_VERSION(1, 0, 0);
        XrInstance instance = XR_NULL_HANDLE;
        const XrResult result = xrCreateInstance(&info, &instance);
        if (result != XR_SUCCESS) {
            std::fprintf(stderr, "xrCreateInstance failed: %d\n", static_cast<int>(result));
            return 1;
        }
        std::printf("instance created\n");
        xrDestroyInstance(instance);
    }
    return 0;
}
