#pragma once

// The negotiation records the OpenXR loader hands to a layer or a runtime, filled as Debian's
// loader fills them.

#include "layer/LoaderInterface.h"

inline XrNegotiateLoaderInfo DebianLoaderInfo() {
    XrNegotiateLoaderInfo info{};
    info.structType = XR_LOADER_INTERFACE_STRUCT_LOADER_INFO;
    info.structVersion = XR_LOADER_INFO_STRUCT_VERSION;
    info.structSize = sizeof(XrNegotiateLoaderInfo);
    info.minInterfaceVersion = 1;
    info.maxInterfaceVersion = 1;
    info.minApiVersion = XR_MAKE_VERSION(1, 0, 0);
    info.maxApiVersion = XR_MAKE_VERSION(1, 0x3ff, 0xfff);
    return info;
}

inline XrNegotiateApiLayerRequest EmptyApiLayerRequest() {
    XrNegotiateApiLayerRequest request{};
    request.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST;
    request.structVersion = XR_API_LAYER_INFO_STRUCT_VERSION;
    request.structSize = sizeof(XrNegotiateApiLayerRequest);
    return request;
}

inline XrNegotiateRuntimeRequest EmptyRuntimeRequest() {
    XrNegotiateRuntimeRequest request{};
    request.structType = XR_LOADER_INTERFACE_STRUCT_RUNTIME_REQUEST;
    request.structVersion = XR_RUNTIME_INFO_STRUCT_VERSION;
    request.structSize = sizeof(XrNegotiateRuntimeRequest);
    return request;
}
