// The stand-in runtime's XR_KHR_convert_timespec_time and its display delay, reached through the
// system's loader in this process with a headless session.

#include <gtest/gtest.h>

#include <ctime>
#define XR_USE_TIMESPEC
#include <openxr/openxr.h>
#include <openxr/openxr_platform.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LoaderRun.h"

namespace {

constexpr const char* kNoConversionVariable = "TARVEX_STANDIN_NO_TIME_CONVERSION";
constexpr const char* kDisplayDelayVariable = "TARVEX_STANDIN_DISPLAY_DELAY_MS";
constexpr XrDuration kFramePeriod = 1'000'000'000 / 90;

XrTime MonotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<XrTime>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

class StandinTimeConversion : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        e2e::ApplyToThisProcess(e2e::IsolatedLoaderEnvironment(dir_, ""));
        unsetenv(kNoConversionVariable);
        unsetenv(kDisplayDelayVariable);
    }
    void TearDown() override {
        if (session_ != XR_NULL_HANDLE) {
            xrDestroySession(session_);
        }
        if (instance_ != XR_NULL_HANDLE) {
            xrDestroyInstance(instance_);
        }
        std::filesystem::remove_all(dir_);
    }

    XrResult CreateInstance(bool withConversion) {
        XrInstanceCreateInfo createInfo{XR_TYPE_INSTANCE_CREATE_INFO};
        std::snprintf(createInfo.applicationInfo.applicationName, XR_MAX_APPLICATION_NAME_SIZE,
                      "e2e");
        createInfo.applicationInfo.apiVersion = XR_MAKE_VERSION(1, 0, 0);
        const char* extensions[] = {XR_MND_HEADLESS_EXTENSION_NAME,
                                    XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME};
        createInfo.enabledExtensionCount = withConversion ? 2 : 1;
        createInfo.enabledExtensionNames = extensions;
        return xrCreateInstance(&createInfo, &instance_);
    }

    void BeginSession() {
        XrSystemGetInfo systemInfo{XR_TYPE_SYSTEM_GET_INFO};
        systemInfo.formFactor = XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY;
        XrSystemId system = XR_NULL_SYSTEM_ID;
        ASSERT_EQ(xrGetSystem(instance_, &systemInfo, &system), XR_SUCCESS);
        XrSessionCreateInfo sessionInfo{XR_TYPE_SESSION_CREATE_INFO};
        sessionInfo.systemId = system;
        ASSERT_EQ(xrCreateSession(instance_, &sessionInfo, &session_), XR_SUCCESS);
        // The session begins once READY has been delivered.
        XrEventDataBuffer event{XR_TYPE_EVENT_DATA_BUFFER};
        while (xrPollEvent(instance_, &event) == XR_SUCCESS) {
            event = {XR_TYPE_EVENT_DATA_BUFFER};
        }
        XrSessionBeginInfo beginInfo{XR_TYPE_SESSION_BEGIN_INFO};
        beginInfo.primaryViewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        ASSERT_EQ(xrBeginSession(session_, &beginInfo), XR_SUCCESS);
    }

    template <typename Function>
    XrResult Lookup(const char* name, Function* function) {
        PFN_xrVoidFunction found = nullptr;
        const XrResult result = xrGetInstanceProcAddr(instance_, name, &found);
        *function = reinterpret_cast<Function>(found);
        return result;
    }

    void LookUpBoth() {
        ASSERT_EQ(Lookup("xrConvertTimespecTimeToTimeKHR", &toTime_), XR_SUCCESS);
        ASSERT_EQ(Lookup("xrConvertTimeToTimespecTimeKHR", &toTimespec_), XR_SUCCESS);
        ASSERT_NE(toTime_, nullptr);
        ASSERT_NE(toTimespec_, nullptr);
    }

    std::string dir_;
    XrInstance instance_ = XR_NULL_HANDLE;
    XrSession session_ = XR_NULL_HANDLE;
    PFN_xrConvertTimespecTimeToTimeKHR toTime_ = nullptr;
    PFN_xrConvertTimeToTimespecTimeKHR toTimespec_ = nullptr;
};

std::vector<std::string> OfferedExtensions() {
    uint32_t count = 0;
    EXPECT_EQ(xrEnumerateInstanceExtensionProperties(nullptr, 0, &count, nullptr), XR_SUCCESS);
    std::vector<XrExtensionProperties> properties(count, {XR_TYPE_EXTENSION_PROPERTIES});
    EXPECT_EQ(xrEnumerateInstanceExtensionProperties(nullptr, count, &count, properties.data()),
              XR_SUCCESS);
    std::vector<std::string> names;
    for (const XrExtensionProperties& each : properties) {
        names.emplace_back(each.extensionName);
    }
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& each : names) {
        if (each == name) {
            return true;
        }
    }
    return false;
}

TEST_F(StandinTimeConversion, OfferedAndEnabledByDefault) {
    EXPECT_TRUE(Contains(OfferedExtensions(), XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME));
    ASSERT_EQ(CreateInstance(true), XR_SUCCESS);
    LookUpBoth();
}

// A layer that asks for the extension on an application's behalf must cope with a runtime
// without it: switched off, the runtime neither lists it nor accepts it.
TEST_F(StandinTimeConversion, SwitchedOffItIsNeitherListedNorAccepted) {
    setenv(kNoConversionVariable, "1", 1);
    const std::vector<std::string> offered = OfferedExtensions();
    EXPECT_FALSE(Contains(offered, XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME));
    EXPECT_TRUE(Contains(offered, XR_MND_HEADLESS_EXTENSION_NAME));
    EXPECT_EQ(CreateInstance(true), XR_ERROR_EXTENSION_NOT_PRESENT);
    EXPECT_EQ(instance_, XR_NULL_HANDLE);
    EXPECT_EQ(CreateInstance(false), XR_SUCCESS);
}

TEST_F(StandinTimeConversion, ZeroLeavesItOn) {
    setenv(kNoConversionVariable, "0", 1);
    EXPECT_TRUE(Contains(OfferedExtensions(), XR_KHR_CONVERT_TIMESPEC_TIME_EXTENSION_NAME));
}

TEST_F(StandinTimeConversion, FunctionsOnlyForAnInstanceThatEnabledIt) {
    ASSERT_EQ(CreateInstance(false), XR_SUCCESS);
    EXPECT_EQ(Lookup("xrConvertTimespecTimeToTimeKHR", &toTime_), XR_ERROR_FUNCTION_UNSUPPORTED);
    EXPECT_EQ(toTime_, nullptr);
    EXPECT_EQ(Lookup("xrConvertTimeToTimespecTimeKHR", &toTimespec_),
              XR_ERROR_FUNCTION_UNSUPPORTED);
    EXPECT_EQ(toTimespec_, nullptr);
}

// The runtime's XrTime is CLOCK_MONOTONIC in nanoseconds: the conversion keeps the instant.
TEST_F(StandinTimeConversion, ConvertsBothWaysOnTheMonotonicClock) {
    ASSERT_EQ(CreateInstance(true), XR_SUCCESS);
    LookUpBoth();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    XrTime time = 0;
    ASSERT_EQ(toTime_(instance_, &now, &time), XR_SUCCESS);
    EXPECT_EQ(time, static_cast<XrTime>(now.tv_sec) * 1'000'000'000 + now.tv_nsec);
    timespec back{};
    ASSERT_EQ(toTimespec_(instance_, time, &back), XR_SUCCESS);
    EXPECT_EQ(back.tv_sec, now.tv_sec);
    EXPECT_EQ(back.tv_nsec, now.tv_nsec);

    const timespec edge{12, 999'999'999};
    ASSERT_EQ(toTime_(instance_, &edge, &time), XR_SUCCESS);
    EXPECT_EQ(time, 12'999'999'999);
    ASSERT_EQ(toTimespec_(instance_, 1, &back), XR_SUCCESS);
    EXPECT_EQ(back.tv_sec, 0);
    EXPECT_EQ(back.tv_nsec, 1);
}

// A frame's predicted display time, converted, lies a frame period past the frame's start.
TEST_F(StandinTimeConversion, DisplayTimeConvertsToTheMonotonicInstantOfTheFrame) {
    ASSERT_EQ(CreateInstance(true), XR_SUCCESS);
    LookUpBoth();
    BeginSession();
    const XrTime before = MonotonicNow();
    XrFrameState frameState{XR_TYPE_FRAME_STATE};
    ASSERT_EQ(xrWaitFrame(session_, nullptr, &frameState), XR_SUCCESS);
    const XrTime after = MonotonicNow();
    timespec display{};
    ASSERT_EQ(toTimespec_(instance_, frameState.predictedDisplayTime, &display), XR_SUCCESS);
    const XrTime displayNs = static_cast<XrTime>(display.tv_sec) * 1'000'000'000 + display.tv_nsec;
    EXPECT_GE(displayNs, before + kFramePeriod);
    EXPECT_LE(displayNs, after + kFramePeriod);
}

struct TimespecCase {
    const char* name;
    timespec value;
};

class InvalidTimespec : public StandinTimeConversion,
                        public ::testing::WithParamInterface<TimespecCase> {};

TEST_P(InvalidTimespec, IsTimeInvalidAndLeavesTheOutputAlone) {
    ASSERT_EQ(CreateInstance(true), XR_SUCCESS);
    LookUpBoth();
    XrTime time = 77;
    EXPECT_EQ(toTime_(instance_, &GetParam().value, &time), XR_ERROR_TIME_INVALID);
    EXPECT_EQ(time, 77);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InvalidTimespec,
    ::testing::Values(TimespecCase{"Zero", {0, 0}}, TimespecCase{"NegativeSeconds", {-1, 5}},
                      TimespecCase{"NegativeNanoseconds", {3, -1}},
                      TimespecCase{"NanosecondsOfAWholeSecond", {3, 1'000'000'000}},
                      TimespecCase{"BeyondXrTime", {9'300'000'000, 0}}),
    [](const ::testing::TestParamInfo<TimespecCase>& param) { return param.param.name; });

TEST_F(StandinTimeConversion, RefusesTimesThatAreNotPositiveAndMissingOutputs) {
    ASSERT_EQ(CreateInstance(true), XR_SUCCESS);
    LookUpBoth();
    timespec out{5, 6};
    EXPECT_EQ(toTimespec_(instance_, 0, &out), XR_ERROR_TIME_INVALID);
    EXPECT_EQ(toTimespec_(instance_, -1'000'000'000, &out), XR_ERROR_TIME_INVALID);
    EXPECT_EQ(out.tv_sec, 5);
    EXPECT_EQ(out.tv_nsec, 6);
    EXPECT_EQ(toTimespec_(instance_, 1, nullptr), XR_ERROR_VALIDATION_FAILURE);
    const timespec valid{1, 0};
    EXPECT_EQ(toTime_(instance_, &valid, nullptr), XR_ERROR_VALIDATION_FAILURE);
    XrTime time = 0;
    EXPECT_EQ(toTime_(instance_, nullptr, &time), XR_ERROR_VALIDATION_FAILURE);
}

// ---- How far past its start a frame is shown ----

struct DelayCase {
    const char* name;
    std::optional<const char*> variable;
    XrDuration expected;
};

void PrintTo(const DelayCase& delay, std::ostream* out) {
    *out << delay.name;
}

class DisplayDelay : public StandinTimeConversion,
                     public ::testing::WithParamInterface<DelayCase> {};

TEST_P(DisplayDelay, PredictedDisplayTimeLiesThatFarPastTheFrameStart) {
    if (GetParam().variable) {
        setenv(kDisplayDelayVariable, *GetParam().variable, 1);
    }
    ASSERT_EQ(CreateInstance(false), XR_SUCCESS);
    BeginSession();
    // The first frame starts when xrWaitFrame is called.
    const XrTime before = MonotonicNow();
    XrFrameState frameState{XR_TYPE_FRAME_STATE};
    ASSERT_EQ(xrWaitFrame(session_, nullptr, &frameState), XR_SUCCESS);
    const XrTime after = MonotonicNow();
    EXPECT_GE(frameState.predictedDisplayTime, before + GetParam().expected);
    EXPECT_LE(frameState.predictedDisplayTime, after + GetParam().expected);
    EXPECT_EQ(frameState.predictedDisplayPeriod, kFramePeriod);
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayDelay,
                         ::testing::Values(DelayCase{"Unset", std::nullopt, kFramePeriod},
                                           DelayCase{"SixtyMilliseconds", "60", 60'000'000},
                                           DelayCase{"Fractional", "2.5", 2'500'000},
                                           DelayCase{"Zero", "0", 0},
                                           DelayCase{"Negative", "-5", kFramePeriod},
                                           DelayCase{"BeyondASecond", "1500", kFramePeriod},
                                           DelayCase{"NotANumber", "soon", kFramePeriod}),
                         [](const ::testing::TestParamInfo<DelayCase>& param) {
                             return param.param.name;
                         });

}  // namespace
