#pragma once

#include "layer/LoaderInterface.h"
#include "platform/Export.h"

TARVEX_EXPORT XrResult XRAPI_CALL xrNegotiateLoaderApiLayerInterface(
    const XrNegotiateLoaderInfo* loaderInfo, const char* apiLayerName,
    XrNegotiateApiLayerRequest* apiLayerRequest);

// Handed to the loader during negotiation; not exported.
XrResult XRAPI_CALL LayerXrCreateApiLayerInstance(const XrInstanceCreateInfo* info,
                                                  const XrApiLayerCreateInfo* apiLayerInfo,
                                                  XrInstance* instance);
XrResult XRAPI_CALL LayerXrGetInstanceProcAddr(XrInstance instance, const char* name,
                                               PFN_xrVoidFunction* function);
