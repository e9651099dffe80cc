#include "FakeNextElement.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

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

XrResult XRAPI_CALL FakeOtherFunction() {
    return XR_SUCCESS;
}

}  // namespace

FakeNextElement& FakeNextElement::Current() {
    static FakeNextElement current;
    return current;
}

void FakeNextElement::Reset() {
    Current() = FakeNextElement{};
}

XrResult XRAPI_CALL FakeGetInstanceProcAddr(XrInstance, const char* name,
                                            PFN_xrVoidFunction* function) {
    FakeNextElement& fake = FakeNextElement::Current();
    fake.lookups.emplace_back(name);
    if (fake.throwingLookups > 0) {
        --fake.throwingLookups;
        throw std::runtime_error("lookup failed inside the next element");
    }
    const bool fails = std::find(fake.failingLookups.begin(), fake.failingLookups.end(), name) !=
                       fake.failingLookups.end();
    if (fails || XR_FAILED(fake.lookupResult)) {
        *function = fake.writtenOnFailure;
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
