#pragma once

#include <openxr/openxr.h>

#include <string>
#include <vector>

#include "layer/LoaderInterface.h"

// The element below the layer, as a test sees it: it records what reaches it and answers with
// results the test chooses. C function pointers cannot carry state, so the state is global.
struct FakeNextElement {
    XrResult createResult = XR_SUCCESS;
    XrInstance createdInstance = reinterpret_cast<XrInstance>(0x1234);
    XrResult lookupResult = XR_SUCCESS;
    std::vector<std::string> failingLookups;  // names whose lookup fails
    std::vector<std::string> nullLookups;     // names whose lookup succeeds but gives no function
    PFN_xrVoidFunction writtenOnFailure = nullptr;  // what a failing lookup leaves in the slot
    int throwingLookups = 0;                        // the next this many lookups throw
    XrResult destroyResult = XR_SUCCESS;
    XrResult endFrameResult = XR_SUCCESS;
    int tag = 1;                               // tells two fake elements apart
    std::string runtimeName = "fake runtime";  // what xrGetInstanceProperties tells
    XrVersion runtimeVersion = XR_MAKE_VERSION(4, 5, 6);

    int createCalls = 0;
    XrApiLayerCreateInfo receivedCreateInfo{};
    XrInstanceCreateInfo receivedApplicationInfo{};
    XrInstance receivedInstanceSlot = XR_NULL_HANDLE;
    std::vector<std::string> lookups;
    std::vector<XrInstance> destroyed;
    std::vector<int> endFrameCalls;  // the tag of the fake whose xrEndFrame ran
    // The name of each location function that ran; each locates every space at (9, 9, 9) with
    // all flags and moving velocities.
    std::vector<std::string> locateCalls;

    static FakeNextElement& Current();
    static void Reset();
};

XrResult XRAPI_CALL FakeGetInstanceProcAddr(XrInstance instance, const char* name,
                                            PFN_xrVoidFunction* function);
XrResult XRAPI_CALL FakeCreateApiLayerInstance(const XrInstanceCreateInfo* info,
                                               const XrApiLayerCreateInfo* apiLayerInfo,
                                               XrInstance* instance);

// The creation records the loader hands to a layer, over this fake next element.
struct LoaderCreateRecords {
    XrApiLayerNextInfo nextInfo{};
    XrApiLayerNextInfo furtherNext{};
    XrApiLayerCreateInfo createInfo{};
    LoaderCreateRecords();
    LoaderCreateRecords(const LoaderCreateRecords&) = delete;
    LoaderCreateRecords& operator=(const LoaderCreateRecords&) = delete;
};
