#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "layer/OptionalInstanceCreation.h"
#include "platform/XrTimeConversion.h"

namespace {

// What reached the next element on each creation call: whether the time-conversion extension was
// in the list, and the answers it gives in turn.
struct ScriptedNext {
    std::vector<XrResult> answers;
    std::vector<bool> askedForConversion;
};
ScriptedNext scripted;

XrResult XRAPI_CALL ScriptedCreate(const XrInstanceCreateInfo* info,
                                   const XrApiLayerCreateInfo* /*apiLayerInfo*/,
                                   XrInstance* instance) {
    bool conversion = false;
    for (uint32_t i = 0; i < info->enabledExtensionCount; ++i) {
        conversion = conversion || std::strcmp(info->enabledExtensionNames[i],
                                               platform::kTimeConversionExtension) == 0;
    }
    const size_t call = scripted.askedForConversion.size();
    scripted.askedForConversion.push_back(conversion);
    const XrResult answer = call < scripted.answers.size() ? scripted.answers[call] : XR_SUCCESS;
    if (XR_SUCCEEDED(answer)) {
        *instance = reinterpret_cast<XrInstance>(0x4000 + call);
    }
    return answer;
}

struct CreationCase {
    const char* name;
    bool prediction;
    bool applicationAsks;  // the application enabled the conversion itself
    std::vector<XrResult> answers;
    std::vector<bool> expectedCalls;  // per call: was the conversion asked for
    XrResult expectedResult;
    bool expectedConversion;
};

void PrintTo(const CreationCase& c, std::ostream* os) {
    *os << c.name;
}

class OptionalInstanceCreation : public ::testing::TestWithParam<CreationCase> {};

TEST_P(OptionalInstanceCreation, AddsTheConversionAndFallsBackToTheApplicationsRequest) {
    const CreationCase& c = GetParam();
    scripted = {c.answers, {}};
    LayerOptions options;
    options.predictDisplayTime = c.prediction;
    std::vector<const char*> extensions{"XR_KHR_some_graphics_enable"};
    if (c.applicationAsks) {
        extensions.push_back(platform::kTimeConversionExtension);
    }
    XrInstanceCreateInfo application{XR_TYPE_INSTANCE_CREATE_INFO};
    application.enabledExtensionCount = static_cast<uint32_t>(extensions.size());
    application.enabledExtensionNames = extensions.data();
    const XrApiLayerCreateInfo nextCreateInfo{};
    XrInstance instance = XR_NULL_HANDLE;
    bool conversion = !c.expectedConversion;

    const XrResult result = CreateNextInstance(options, &ScriptedCreate, application,
                                               nextCreateInfo, &instance, &conversion);

    EXPECT_EQ(result, c.expectedResult);
    EXPECT_EQ(scripted.askedForConversion, c.expectedCalls);
    EXPECT_EQ(conversion, c.expectedConversion);
    EXPECT_EQ(instance != XR_NULL_HANDLE, XR_SUCCEEDED(c.expectedResult));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionalInstanceCreation,
    ::testing::Values(
        CreationCase{
            "OptionOffCallsOnceAsAsked", false, false, {XR_SUCCESS}, {false}, XR_SUCCESS, false},
        CreationCase{"OptionOffFailureIsNotRetried",
                     false,
                     false,
                     {XR_ERROR_RUNTIME_FAILURE},
                     {false},
                     XR_ERROR_RUNTIME_FAILURE,
                     false},
        CreationCase{"ConversionAdded", true, false, {XR_SUCCESS}, {true}, XR_SUCCESS, true},
        CreationCase{
            "ApplicationAskedItselfCallsOnce", true, true, {XR_SUCCESS}, {true}, XR_SUCCESS, true},
        CreationCase{"ApplicationAskedItselfFailureIsNotRetried",
                     true,
                     true,
                     {XR_ERROR_EXTENSION_NOT_PRESENT},
                     {true},
                     XR_ERROR_EXTENSION_NOT_PRESENT,
                     false},
        CreationCase{"ExtensionMissingRetriesAsAsked",
                     true,
                     false,
                     {XR_ERROR_EXTENSION_NOT_PRESENT, XR_SUCCESS},
                     {true, false},
                     XR_SUCCESS,
                     false},
        CreationCase{"OtherRefusalRetriesAsAsked",
                     true,
                     false,
                     {XR_ERROR_RUNTIME_FAILURE, XR_SUCCESS},
                     {true, false},
                     XR_SUCCESS,
                     false},
        CreationCase{"LayerRefusalRetriesAsAsked",
                     true,
                     false,
                     {XR_ERROR_API_LAYER_NOT_PRESENT, XR_SUCCESS},
                     {true, false},
                     XR_SUCCESS,
                     false},
        CreationCase{"RetryFailureIsTheApplicationsAnswer",
                     true,
                     false,
                     {XR_ERROR_RUNTIME_FAILURE, XR_ERROR_INITIALIZATION_FAILED},
                     {true, false},
                     XR_ERROR_INITIALIZATION_FAILED,
                     false}),
    [](const auto& param) { return std::string(param.param.name); });

std::vector<std::string> Names(const std::vector<HookEntry>& hooks) {
    std::vector<std::string> names;
    for (const HookEntry& hook : hooks) {
        names.push_back(hook.name);
    }
    return names;
}

TEST(OptionalHookList, OnlyTheTrackedViewSpaceOptionAddsHooks) {
    LayerOptions options;
    EXPECT_TRUE(OptionalHookList(options).empty());
    options.predictDisplayTime = true;
    options.trackingLossMs = 100.0f;
    options.submitRuntimeViews = true;
    EXPECT_TRUE(OptionalHookList(options).empty());

    options.trackedViewSpace = true;
    EXPECT_EQ(Names(OptionalHookList(options)),
              (std::vector<std::string>{"xrLocateSpace", "xrDestroySpace", "xrDestroySession",
                                        "xrLocateSpaces", "xrLocateSpacesKHR"}));
}

}  // namespace
