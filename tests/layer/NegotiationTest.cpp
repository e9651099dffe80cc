#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include "LoaderRecords.h"
#include "layer/LayerConstants.h"
#include "layer/LoaderEntries.h"

namespace {

struct NegotiationCase {
    std::string name;
    std::function<void(XrNegotiateLoaderInfo&, XrNegotiateApiLayerRequest&)> change;
    const char* layerName;
    XrResult expected;
};

// Test names and failure messages show the case by its name.
void PrintTo(const NegotiationCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class NegotiationTest : public testing::TestWithParam<NegotiationCase> {};

TEST_P(NegotiationTest, AcceptsOnlyWhatTheLayerSupports) {
    XrNegotiateLoaderInfo info = DebianLoaderInfo();
    XrNegotiateApiLayerRequest request = EmptyApiLayerRequest();
    GetParam().change(info, request);
    const XrNegotiateApiLayerRequest before = request;

    EXPECT_EQ(xrNegotiateLoaderApiLayerInterface(&info, GetParam().layerName, &request),
              GetParam().expected);

    if (GetParam().expected == XR_SUCCESS) {
        EXPECT_EQ(request.layerInterfaceVersion, 1u);
        EXPECT_EQ(request.layerApiVersion, 0x1000100000028ULL);
        EXPECT_EQ(request.getInstanceProcAddr, &LayerXrGetInstanceProcAddr);
        EXPECT_EQ(request.createApiLayerInstance, &LayerXrCreateApiLayerInstance);
    } else {
        EXPECT_EQ(std::memcmp(&request, &before, sizeof(request)), 0) << "request was written";
    }
}

const auto kNoChange = [](XrNegotiateLoaderInfo&, XrNegotiateApiLayerRequest&) {};

INSTANTIATE_TEST_SUITE_P(
    Records, NegotiationTest,
    testing::Values(
        NegotiationCase{"DebianLoader", kNoChange, kLayerName, XR_SUCCESS},
        NegotiationCase{"LoaderInfoSize41", [](auto& i, auto&) { i.structSize = 41; }, kLayerName,
                        XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"LoaderInfoVersion2", [](auto& i, auto&) { i.structVersion = 2; },
                        kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{
            "LoaderInfoWrongType",
            [](auto& i, auto&) { i.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST; },
            kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"RequestSize47", [](auto&, auto& r) { r.structSize = 47; }, kLayerName,
                        XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"RequestVersion2", [](auto&, auto& r) { r.structVersion = 2; }, kLayerName,
                        XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{
            "RequestWrongType",
            [](auto&, auto& r) { r.structType = XR_LOADER_INTERFACE_STRUCT_LOADER_INFO; },
            kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"InterfaceMin0Max1",
                        [](auto& i, auto&) {
                            i.minInterfaceVersion = 0;
                            i.maxInterfaceVersion = 1;
                        },
                        kLayerName, XR_SUCCESS},
        NegotiationCase{"InterfaceMin1Max2", [](auto& i, auto&) { i.maxInterfaceVersion = 2; },
                        kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"InterfaceMin2Max2",
                        [](auto& i, auto&) {
                            i.minInterfaceVersion = 2;
                            i.maxInterfaceVersion = 2;
                        },
                        kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"InterfaceMax0", [](auto& i, auto&) { i.maxInterfaceVersion = 0; },
                        kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"ApiMax1_1_39",
                        [](auto& i, auto&) { i.maxApiVersion = XR_MAKE_VERSION(1, 1, 39); },
                        kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"ApiMin1_1_41",
                        [](auto& i, auto&) { i.minApiVersion = XR_MAKE_VERSION(1, 1, 41); },
                        kLayerName, XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"ApiMin1_0_0Max1_1_40",
                        [](auto& i, auto&) {
                            i.minApiVersion = XR_MAKE_VERSION(1, 0, 0);
                            i.maxApiVersion = XR_MAKE_VERSION(1, 1, 40);
                        },
                        kLayerName, XR_SUCCESS},
        NegotiationCase{"LayerNameInOtherCase", kNoChange, "XR_APILAYER_TARVEX_TRACKING_OVERRIDE",
                        XR_ERROR_INITIALIZATION_FAILED},
        NegotiationCase{"OtherLayer", kNoChange, "XR_APILAYER_other",
                        XR_ERROR_INITIALIZATION_FAILED}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(NegotiationNullRecords, AreRefused) {
    XrNegotiateLoaderInfo info = DebianLoaderInfo();
    XrNegotiateApiLayerRequest request = EmptyApiLayerRequest();
    EXPECT_EQ(xrNegotiateLoaderApiLayerInterface(nullptr, kLayerName, &request),
              XR_ERROR_INITIALIZATION_FAILED);
    EXPECT_EQ(xrNegotiateLoaderApiLayerInterface(&info, kLayerName, nullptr),
              XR_ERROR_INITIALIZATION_FAILED);
    EXPECT_EQ(request.getInstanceProcAddr, nullptr);
}

}  // namespace
