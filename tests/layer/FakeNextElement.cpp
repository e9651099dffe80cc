#include "FakeNextElement.h"

#include <algorithm>
#include <cstring>

#include "layer/LayerConstants.h"

namespace {

XrResult XRAPI_CALL FakeDestroyInstance(XrInstance instance) {
    FakeNextElement::Current().destroyed.push_back(instance);
    return FakeNextElement::Current().destroyResult;
}

template <int Tag>
XrResult XRAPI_CALL FakeEndFrame(XrSession, const XrFrameEndInfo*) {
    FakeNextElement::Current().endFrameCalls.push_back(Tag);
    return FakeNextElement::Current().endFrameResult;
}

XrResult XRAPI_CALL FakeOtherFunction() { return XR_SUCCESS; }

}  // namespace

FakeNextElement& FakeNextElement::Current() {
    static FakeNextElement current;
    return current;
}

void FakeNextElement::Reset() { Current() = FakeNextElement{}; }

XrResult XRAPI_CALL FakeGetInstanceProcAddr(XrInstance, const char* name,
                                            PFN_xrVoidFunction* function) {
    FakeNextElement& fake = FakeNextElement::Current();
    fake.lookups.emplace_back(name);
    const bool fails = std::find(fake.failingLookups.begin(), fake.failingLookups.end(), name) !=
                       fake.failingLookups.end();
    if (fails || XR_FAILED(fake.lookupResult)) {
        *function = nullptr;
        return fails ? XR_ERROR_FUNCTION_UNSUPPORTED : fake.lookupResult;
    }
    if (std::strcmp(name, "xrDestroyInstance") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeDestroyInstance);
    } else if (std::strcmp(name, "xrEndFrame") == 0) {
        *function = fake.tag == 1 ? reinterpret_cast<PFN_xrVoidFunction>(&FakeEndFrame<1>)
                                  : reinterpret_cast<PFN_xrVoidFunction>(&FakeEndFrame<2>);
    } else {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeOtherFunction);
    }
    return fake.lookupResult;
}

XrResult XRAPI_CALL FakeCreateApiLayerInstance(const XrInstanceCreateInfo* info,
                                               const XrApiLayerCreateInfo* apiLayerInfo,
                                               XrInstance* instance) {
    FakeNextElement& fake = FakeNextElement::Current();
    ++fake.createCalls;
    fake.receivedCreateInfo = *apiLayerInfo;
    fake.receivedApplicationInfo = *info;
    fake.receivedInstanceSlot = *instance;
    if (XR_SUCCEEDED(fake.createResult)) {
        *instance = fake.createdInstance;
    }
    return fake.createResult;
}

XrNegotiateLoaderInfo LoaderInfo() {
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

XrNegotiateApiLayerRequest EmptyRequest() {
    XrNegotiateApiLayerRequest request{};
    request.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST;
    request.structVersion = XR_API_LAYER_INFO_STRUCT_VERSION;
    request.structSize = sizeof(XrNegotiateApiLayerRequest);
    return request;
}

LoaderCreateRecords::LoaderCreateRecords() {
    nextInfo.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO;
    nextInfo.structVersion = XR_API_LAYER_NEXT_INFO_STRUCT_VERSION;
    nextInfo.structSize = sizeof(XrApiLayerNextInfo);
    std::strcpy(nextInfo.layerName, kLayerName);
    nextInfo.nextGetInstanceProcAddr = &FakeGetInstanceProcAddr;
    nextInfo.nextCreateApiLayerInstance = &FakeCreateApiLayerInstance;
    nextInfo.next = &furtherNext;

    createInfo.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO;
    createInfo.structVersion = XR_API_LAYER_CREATE_INFO_STRUCT_VERSION;
    createInfo.structSize = sizeof(XrApiLayerCreateInfo);
    createInfo.loaderInstance = reinterpret_cast<void*>(0x5678);
    std::strcpy(createInfo.settings_file_location, "/tmp/settings");
    createInfo.nextInfo = &nextInfo;
}
