#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include "LayerFixture.h"
#include "layer/LayerConstants.h"

namespace {

struct RefusedCreation {
    std::string name;
    std::function<void(LoaderCreateRecords&)> change;
};

// Test names and failure messages show the case by its name.
void PrintTo(const RefusedCreation& testCase, std::ostream* out) {
    *out << testCase.name;
}

class RefusedCreationTest : public LayerFixture,
                            public testing::WithParamInterface<RefusedCreation> {};

TEST_P(RefusedCreationTest, CreatesNothingAndCallsNothing) {
    LoaderCreateRecords records;
    GetParam().change(records);
    XrInstance instance = XR_NULL_HANDLE;

    EXPECT_EQ(Create(records, &instance), XR_ERROR_INITIALIZATION_FAILED);
    EXPECT_FALSE(LayerExists());
    EXPECT_EQ(Fake().createCalls, 0);
    EXPECT_EQ(instance, XR_NULL_HANDLE);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RefusedCreationTest,
    testing::Values(
        RefusedCreation{"CreateInfoWrongType",
                        [](auto& r) {
                            r.createInfo.structType =
                                XR_LOADER_INTERFACE_STRUCT_API_LAYER_NEXT_INFO;
                        }},
        RefusedCreation{"CreateInfoVersion0", [](auto& r) { r.createInfo.structVersion = 0; }},
        RefusedCreation{"CreateInfoSize543", [](auto& r) { r.createInfo.structSize = 543; }},
        RefusedCreation{"NoNextInfo", [](auto& r) { r.createInfo.nextInfo = nullptr; }},
        RefusedCreation{"NextInfoWrongType",
                        [](auto& r) {
                            r.nextInfo.structType =
                                XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO;
                        }},
        RefusedCreation{"NextInfoVersion0", [](auto& r) { r.nextInfo.structVersion = 0; }},
        RefusedCreation{"NextInfoSize295", [](auto& r) { r.nextInfo.structSize = 295; }},
        RefusedCreation{"NextInfoNameInOtherCase",
                        [](auto& r) {
                            std::strcpy(r.nextInfo.layerName,
                                        "XR_APILAYER_TARVEX_Tracking_override");
                        }},
        RefusedCreation{"NoNextLookup",
                        [](auto& r) { r.nextInfo.nextGetInstanceProcAddr = nullptr; }},
        RefusedCreation{"NoNextCreate",
                        [](auto& r) { r.nextInfo.nextCreateApiLayerInstance = nullptr; }}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(LayerFixture, RefusesAMissingCreateInfo) {
    XrInstance instance = XR_NULL_HANDLE;
    EXPECT_EQ(LayerXrCreateApiLayerInstance(&applicationInfo, nullptr, &instance),
              XR_ERROR_INITIALIZATION_FAILED);
    EXPECT_FALSE(LayerExists());
}

TEST_F(LayerFixture, HandsTheNextElementTheLoaderRecordWithItsOwnNextInfo) {
    LoaderCreateRecords records;
    records.createInfo.structSize = 600;  // a newer loader's larger record is accepted
    records.createInfo.structVersion = 2;
    const XrApiLayerCreateInfo loaderRecordBefore = records.createInfo;
    applicationInfo.applicationInfo.applicationVersion = 7;
    std::strcpy(applicationInfo.applicationInfo.applicationName, "demo");
    XrInstance instance = reinterpret_cast<XrInstance>(0x99);

    ASSERT_EQ(Create(records, &instance), XR_SUCCESS);

    const XrApiLayerCreateInfo& received = Fake().receivedCreateInfo;
    EXPECT_EQ(received.structType, records.createInfo.structType);
    EXPECT_EQ(received.structVersion, 2u);
    EXPECT_EQ(received.structSize, 600u);
    EXPECT_EQ(received.loaderInstance, records.createInfo.loaderInstance);
    EXPECT_STREQ(received.settings_file_location, "/tmp/settings");
    EXPECT_EQ(received.nextInfo, &records.furtherNext);
    EXPECT_EQ(std::memcmp(&records.createInfo, &loaderRecordBefore, sizeof(loaderRecordBefore)), 0);
    EXPECT_EQ(
        std::memcmp(&Fake().receivedApplicationInfo, &applicationInfo, sizeof(applicationInfo)), 0);
    EXPECT_EQ(Fake().receivedInstanceSlot, reinterpret_cast<XrInstance>(0x99));
    EXPECT_EQ(instance, Fake().createdInstance);
    EXPECT_TRUE(LayerExists());
}

TEST_F(LayerFixture, PassesOnAQualifiedSuccess) {
    LoaderCreateRecords records;
    Fake().createResult = XR_SESSION_LOSS_PENDING;
    XrInstance instance = XR_NULL_HANDLE;

    EXPECT_EQ(Create(records, &instance), XR_SESSION_LOSS_PENDING);
    EXPECT_EQ(instance, Fake().createdInstance);
}

TEST_F(LayerFixture, AFailingNextElementLeavesTheHandleAndReleasesTheLayerObject) {
    LoaderCreateRecords records;
    Fake().createResult = XR_ERROR_RUNTIME_FAILURE;
    XrInstance instance = reinterpret_cast<XrInstance>(0x42);

    EXPECT_EQ(Create(records, &instance), XR_ERROR_LAYER_INVALID);
    EXPECT_EQ(instance, reinterpret_cast<XrInstance>(0x42));
    EXPECT_FALSE(LayerExists());

    // The application retries once the headset is ready.
    Fake().createResult = XR_SUCCESS;
    EXPECT_EQ(Create(records, &instance), XR_SUCCESS);
    EXPECT_EQ(instance, Fake().createdInstance);
}

TEST_F(LayerFixture, AThrowingResolutionUndoesTheCreationAndAllowsARetry) {
    LoaderCreateRecords records;
    Fake().throwingLookups = 1;
    XrInstance instance = reinterpret_cast<XrInstance>(0x42);

    testing::internal::CaptureStdout();
    EXPECT_EQ(Create(records, &instance), XR_ERROR_INITIALIZATION_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "lookup failed inside the next element\n");
    EXPECT_EQ(instance, reinterpret_cast<XrInstance>(0x42));
    EXPECT_FALSE(LayerExists());
    EXPECT_EQ(Fake().destroyed, std::vector<XrInstance>{Fake().createdInstance})
        << "the instance the application never received is destroyed";

    EXPECT_EQ(Create(records, &instance), XR_SUCCESS);
    EXPECT_EQ(instance, Fake().createdInstance);
    EXPECT_TRUE(LayerExists());
}

TEST_F(LayerFixture, ASecondInstanceIsRefusedAndTheFirstStaysIntact) {
    LoaderCreateRecords records;
    XrInstance first = XR_NULL_HANDLE;
    ASSERT_EQ(Create(records, &first), XR_SUCCESS);
    OpenXRLayer* firstLayer = &OpenXRLayer::Get();

    XrInstance second = XR_NULL_HANDLE;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Create(records, &second), XR_ERROR_INITIALIZATION_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Initialization of OpenXR layer XR_APILAYER_TARVEX_tracking_override failed: "
              "Cannot create more than one instance of OpenXRLayer class.\n");

    EXPECT_EQ(Fake().createCalls, 1);
    EXPECT_EQ(second, XR_NULL_HANDLE);
    EXPECT_EQ(&OpenXRLayer::Get(), firstLayer);
    PFN_xrVoidFunction function = nullptr;
    EXPECT_EQ(LayerXrGetInstanceProcAddr(first, "xrDestroyInstance", &function), XR_SUCCESS);
    EXPECT_NE(function, nullptr);
}

TEST_F(LayerFixture, CreateDestroyCreateBuildsAFreshLayerObject) {
    LoaderCreateRecords records;
    XrInstance instance = XR_NULL_HANDLE;
    ASSERT_EQ(Create(records, &instance), XR_SUCCESS);

    PFN_xrVoidFunction destroy = nullptr;
    ASSERT_EQ(LayerXrGetInstanceProcAddr(instance, "xrDestroyInstance", &destroy), XR_SUCCESS);
    EXPECT_EQ(reinterpret_cast<PFN_xrDestroyInstance>(destroy)(instance), XR_SUCCESS);
    EXPECT_FALSE(LayerExists());

    EXPECT_EQ(Create(records, &instance), XR_SUCCESS);
    EXPECT_TRUE(LayerExists());
    EXPECT_EQ(Fake().destroyed.size(), 1u);
}

}  // namespace
