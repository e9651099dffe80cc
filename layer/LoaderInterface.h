#pragma once

// The OpenXR loader's negotiation and layer-creation records. The Debian OpenXR headers do not
// ship the loader-negotiation header, so the records are declared here with the published member
// names, types and order; the sizes below are the loader's on a 64-bit build.

#include <openxr/openxr.h>

#include <cstddef>
#include <cstdint>

#define XR_CURRENT_LOADER_API_LAYER_VERSION 1
#define XR_CURRENT_LOADER_RUNTIME_VERSION 1
#define XR_LOADER_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_INFO_STRUCT_VERSION 1
#define XR_RUNTIME_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_NEXT_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_CREATE_INFO_STRUCT_VERSION 1
#define XR_API_LAYER_MAX_SETTINGS_PATH_SIZE 512

extern "C" {

typedef enum XrLoaderInterfaceStructs {
    XR_LOADER_INTERFACE_STRUCT_UNINTIALIZED = 0,
    XR_LOADER_INTERFACE_STRUCT_LOADER_INFO = 1,
    XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST = 2,
    XR_LOADER_INTERFACE_STRUCT_RUNTIME_REQUEST = 3,
    XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO = 4,
    XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO = 5,
    XR_LOADER_INTERFACE_STRUCTS_MAX_ENUM = 0x7FFFFFFF
} XrLoaderInterfaceStructs;

typedef struct XrNegotiateLoaderInfo {
    XrLoaderInterfaceStructs structType;
    uint32_t structVersion;
    size_t structSize;
    uint32_t minInterfaceVersion;
    uint32_t maxInterfaceVersion;
    XrVersion minApiVersion;
    XrVersion maxApiVersion;
} XrNegotiateLoaderInfo;

struct XrApiLayerCreateInfo;
typedef XrResult(XRAPI_PTR* PFN_xrCreateApiLayerInstance)(
    const XrInstanceCreateInfo* info, const struct XrApiLayerCreateInfo* apiLayerInfo,
    XrInstance* instance);

typedef struct XrNegotiateApiLayerRequest {
    XrLoaderInterfaceStructs structType;
    uint32_t structVersion;
    size_t structSize;
    uint32_t layerInterfaceVersion;
    XrVersion layerApiVersion;
    PFN_xrGetInstanceProcAddr getInstanceProcAddr;
    PFN_xrCreateApiLayerInstance createApiLayerInstance;
} XrNegotiateApiLayerRequest;

typedef struct XrNegotiateRuntimeRequest {
    XrLoaderInterfaceStructs structType;
    uint32_t structVersion;
    size_t structSize;
    uint32_t runtimeInterfaceVersion;
    XrVersion runtimeApiVersion;
    PFN_xrGetInstanceProcAddr getInstanceProcAddr;
} XrNegotiateRuntimeRequest;

typedef XrResult(XRAPI_PTR* PFN_xrNegotiateLoaderRuntimeInterface)(
    const XrNegotiateLoaderInfo* loaderInfo, XrNegotiateRuntimeRequest* runtimeRequest);
typedef XrResult(XRAPI_PTR* PFN_xrNegotiateLoaderApiLayerInterface)(
    const XrNegotiateLoaderInfo* loaderInfo, const char* layerName,
    XrNegotiateApiLayerRequest* apiLayerRequest);

typedef struct XrApiLayerNextInfo {
    XrLoaderInterfaceStructs structType;
    uint32_t structVersion;
    size_t structSize;
    char layerName[XR_MAX_API_LAYER_NAME_SIZE];
    PFN_xrGetInstanceProcAddr nextGetInstanceProcAddr;
    PFN_xrCreateApiLayerInstance nextCreateApiLayerInstance;
    struct XrApiLayerNextInfo* next;
} XrApiLayerNextInfo;

typedef struct XrApiLayerCreateInfo {
    XrLoaderInterfaceStructs structType;
    uint32_t structVersion;
    size_t structSize;
    void* loaderInstance;
    char settings_file_location[XR_API_LAYER_MAX_SETTINGS_PATH_SIZE];
    XrApiLayerNextInfo* nextInfo;
} XrApiLayerCreateInfo;

}  // extern "C"

static_assert(sizeof(XrNegotiateLoaderInfo) == 40);
static_assert(offsetof(XrNegotiateLoaderInfo, minInterfaceVersion) == 16);
static_assert(offsetof(XrNegotiateLoaderInfo, minApiVersion) == 24);
static_assert(offsetof(XrNegotiateLoaderInfo, maxApiVersion) == 32);
static_assert(sizeof(XrNegotiateApiLayerRequest) == 48);
static_assert(offsetof(XrNegotiateApiLayerRequest, layerApiVersion) == 24);
static_assert(offsetof(XrNegotiateApiLayerRequest, getInstanceProcAddr) == 32);
static_assert(offsetof(XrNegotiateApiLayerRequest, createApiLayerInstance) == 40);
static_assert(sizeof(XrNegotiateRuntimeRequest) == 40);
static_assert(sizeof(XrApiLayerNextInfo) == 296);
static_assert(offsetof(XrApiLayerNextInfo, layerName) == 16);
static_assert(offsetof(XrApiLayerNextInfo, nextGetInstanceProcAddr) == 272);
static_assert(offsetof(XrApiLayerNextInfo, next) == 288);
static_assert(sizeof(XrApiLayerCreateInfo) == 544);
static_assert(offsetof(XrApiLayerCreateInfo, settings_file_location) == 24);
static_assert(offsetof(XrApiLayerCreateInfo, nextInfo) == 536);
