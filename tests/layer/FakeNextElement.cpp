#include "FakeNextElement.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "layer/LayerConstants.h"
#include "platform/LocateSpacesDeclarations.h"

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

constexpr XrSpaceLocationFlags kAllLocationBits =
    XR_SPACE_LOCATION_ORIENTATION_VALID_BIT | XR_SPACE_LOCATION_POSITION_VALID_BIT |
    XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT | XR_SPACE_LOCATION_POSITION_TRACKED_BIT;
constexpr XrPosef kLocatedPose{{0, 0, 0, 1}, {9, 9, 9}};
constexpr XrSpaceVelocityFlags kVelocityValid =
    XR_SPACE_VELOCITY_LINEAR_VALID_BIT | XR_SPACE_VELOCITY_ANGULAR_VALID_BIT;

XrResult XRAPI_CALL FakeLocateSpace(XrSpace, XrSpace, XrTime, XrSpaceLocation* location) {
    FakeNextElement::Current().locateCalls.emplace_back("xrLocateSpace");
    location->locationFlags = kAllLocationBits;
    location->pose = kLocatedPose;
    for (auto* chained = static_cast<XrBaseOutStructure*>(location->next); chained != nullptr;
         chained = chained->next) {
        if (chained->type == XR_TYPE_SPACE_VELOCITY) {
            *reinterpret_cast<XrSpaceVelocity*>(chained) = {
                XR_TYPE_SPACE_VELOCITY, chained->next, kVelocityValid, {1, 2, 3}, {4, 5, 6}};
        }
    }
    return XR_SUCCESS;
}

template <const char* Name>
XrResult XRAPI_CALL FakeLocateSpaces(XrSession, const XrSpacesLocateInfo* info,
                                     XrSpaceLocations* locations) {
    FakeNextElement::Current().locateCalls.emplace_back(Name);
    for (uint32_t i = 0; i < info->spaceCount; ++i) {
        locations->locations[i] = {kAllLocationBits, kLocatedPose};
    }
    for (auto* chained = static_cast<XrBaseOutStructure*>(locations->next); chained != nullptr;
         chained = chained->next) {
        if (chained->type == XR_TYPE_SPACE_VELOCITIES) {
            auto* velocities = reinterpret_cast<XrSpaceVelocities*>(chained);
            for (uint32_t i = 0; i < velocities->velocityCount; ++i) {
                velocities->velocities[i] = {kVelocityValid, {1, 2, 3}, {4, 5, 6}};
            }
        }
    }
    return XR_SUCCESS;
}

constexpr char kLocateSpaces[] = "xrLocateSpaces";
constexpr char kLocateSpacesKHR[] = "xrLocateSpacesKHR";

XrResult XRAPI_CALL FakeGetInstanceProperties(XrInstance, XrInstanceProperties* properties) {
    const FakeNextElement& fake = FakeNextElement::Current();
    properties->runtimeVersion = fake.runtimeVersion;
    std::strncpy(properties->runtimeName, fake.runtimeName.c_str(),
                 sizeof(properties->runtimeName) - 1);
    return XR_SUCCESS;
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
    if (std::find(fake.nullLookups.begin(), fake.nullLookups.end(), name) !=
        fake.nullLookups.end()) {
        *function = nullptr;
        return fake.lookupResult;
    }
    if (std::strcmp(name, "xrLocateSpace") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeLocateSpace);
    } else if (std::strcmp(name, kLocateSpaces) == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeLocateSpaces<kLocateSpaces>);
    } else if (std::strcmp(name, kLocateSpacesKHR) == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeLocateSpaces<kLocateSpacesKHR>);
    } else if (std::strcmp(name, "xrGetInstanceProperties") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&FakeGetInstanceProperties);
    } else if (std::strcmp(name, "xrDestroyInstance") == 0) {
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
