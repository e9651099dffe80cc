#include <stdexcept>
#include <string>

#include "LayerFixture.h"
#include "layer/FrameworkHooks.h"
#include "layer/PoseHooks.h"
#include "tracking/MocapTracker.h"

namespace {

class DispatchTest : public LayerFixture {
protected:
    XrInstance CreateInstance() {
        XrInstance instance = XR_NULL_HANDLE;
        EXPECT_EQ(Create(records, &instance), XR_SUCCESS);
        return instance;
    }

    static PFN_xrVoidFunction Lookup(XrInstance instance, const char* name,
                                     XrResult expected = XR_SUCCESS) {
        PFN_xrVoidFunction function = nullptr;
        EXPECT_EQ(LayerXrGetInstanceProcAddr(instance, name, &function), expected) << name;
        return function;
    }

    LoaderCreateRecords records;
};

TEST_F(DispatchTest, InterceptedNamesYieldTheHooksWhateverTheInstance) {
    CreateInstance();
    const struct {
        const char* name;
        PFN_xrVoidFunction hook;
    } hooks[] = {
        {"xrDestroyInstance", reinterpret_cast<PFN_xrVoidFunction>(&HookDestroyInstance)},
        {"xrCreateInstance", reinterpret_cast<PFN_xrVoidFunction>(&HookCreateInstance)},
        {"xrEndFrame", reinterpret_cast<PFN_xrVoidFunction>(&HookEndFrame)},
        {"xrLocateViews", reinterpret_cast<PFN_xrVoidFunction>(&HookLocateViews)},
        {"xrCreateReferenceSpace", reinterpret_cast<PFN_xrVoidFunction>(&HookCreateReferenceSpace)},
    };
    Fake().lookups.clear();
    for (const auto& hook : hooks) {
        EXPECT_EQ(Lookup(XR_NULL_HANDLE, hook.name), hook.hook) << hook.name;
    }
    EXPECT_TRUE(Fake().lookups.empty()) << "intercepted names reached the next element";
}

TEST_F(DispatchTest, OtherNamesArePassedDownWithTheirResult) {
    const XrInstance instance = CreateInstance();
    Fake().lookups.clear();

    EXPECT_NE(Lookup(instance, "xrlocateviews"), nullptr);
    EXPECT_NE(Lookup(instance, "xrWaitFrame"), nullptr);
    Fake().failingLookups = {"xrGetVisibilityMaskKHR"};
    EXPECT_EQ(Lookup(instance, "xrGetVisibilityMaskKHR", XR_ERROR_FUNCTION_UNSUPPORTED), nullptr);

    EXPECT_EQ(Fake().lookups,
              (std::vector<std::string>{"xrlocateviews", "xrWaitFrame", "xrGetVisibilityMaskKHR"}));
}

TEST_F(DispatchTest, WhatAFailingNextLookupWritesIsPassedThrough) {
    const XrInstance instance = CreateInstance();
    const auto written = reinterpret_cast<PFN_xrVoidFunction>(&HookCreateInstance);
    Fake().writtenOnFailure = written;
    // The layer's own failure code, coming from below, must not be taken for the layer's.
    for (const XrResult failure : {XR_ERROR_HANDLE_INVALID, XR_ERROR_FUNCTION_UNSUPPORTED}) {
        Fake().lookupResult = failure;
        EXPECT_EQ(Lookup(instance, "xrWaitFrame", failure), written) << failure;
    }
}

TEST_F(DispatchTest, AFunctionTheNextElementLacksStillYieldsItsHook) {
    Fake().failingLookups = {"xrEndFrame"};
    const XrInstance instance = CreateInstance();

    EXPECT_EQ(Lookup(instance, "xrEndFrame"), reinterpret_cast<PFN_xrVoidFunction>(&HookEndFrame));
    EXPECT_EQ(OpenXRLayer::Get().GetNextFunction("xrEndFrame"), nullptr);
    EXPECT_NE(OpenXRLayer::Get().GetNextFunction("xrDestroyInstance"), nullptr);
    EXPECT_THROW(OpenXRLayer::Get().GetNextFunction("xrWaitFrame"), std::out_of_range);

    // With nothing to forward to, the pose hook fails instead of calling through null.
    const XrFrameEndInfo frame{XR_TYPE_FRAME_END_INFO};
    EXPECT_EQ(HookEndFrame(XR_NULL_HANDLE, &frame), XR_ERROR_RUNTIME_FAILURE);
}

TEST_F(DispatchTest, WithoutALayerObjectLookupsFailWithANullFunction) {
    PFN_xrVoidFunction function = reinterpret_cast<PFN_xrVoidFunction>(&HookCreateInstance);
    testing::internal::CaptureStdout();
    EXPECT_EQ(LayerXrGetInstanceProcAddr(XR_NULL_HANDLE, "xrLocateViews", &function),
              XR_ERROR_HANDLE_INVALID);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Layer uninitialized. Cannot dereference singleton\n");
    EXPECT_EQ(function, nullptr);
    EXPECT_THROW(OpenXRLayer::Get(), std::runtime_error);
}

TEST_F(DispatchTest, CreateInstanceHookSucceedsAndWritesNothing) {
    XrInstance instance = reinterpret_cast<XrInstance>(0x77);
    EXPECT_EQ(HookCreateInstance(&applicationInfo, &instance), XR_SUCCESS);
    EXPECT_EQ(instance, reinterpret_cast<XrInstance>(0x77));
}

class DestroyResultTest : public DispatchTest, public testing::WithParamInterface<XrResult> {};

TEST_P(DestroyResultTest, DestroyHookReturnsTheNextResultAndReleasesTheLayer) {
    const XrInstance instance = CreateInstance();
    Fake().destroyResult = GetParam();

    EXPECT_EQ(HookDestroyInstance(instance), GetParam());
    EXPECT_EQ(Fake().destroyed, std::vector<XrInstance>{instance});
    EXPECT_FALSE(LayerExists());
    Lookup(instance, "xrEndFrame", XR_ERROR_HANDLE_INVALID);
}

INSTANTIATE_TEST_SUITE_P(Results, DestroyResultTest,
                         testing::Values(XR_SUCCESS, XR_ERROR_HANDLE_INVALID,
                                         XR_ERROR_RUNTIME_FAILURE, XR_ERROR_INSTANCE_LOST));

TEST_F(DispatchTest, DestroyHookWithoutALayerObjectCallsNothing) {
    EXPECT_EQ(HookDestroyInstance(reinterpret_cast<XrInstance>(0x1)), XR_ERROR_HANDLE_INVALID);
    EXPECT_TRUE(Fake().destroyed.empty());
}

TEST_F(DispatchTest, PoseHooksFollowTheNextElementOfTheCurrentInstance) {
    const XrFrameEndInfo frame{XR_TYPE_FRAME_END_INFO};
    EXPECT_EQ(HookEndFrame(XR_NULL_HANDLE, &frame), XR_ERROR_RUNTIME_FAILURE)
        << "no layer object yet";

    XrInstance instance = CreateInstance();
    EXPECT_EQ(HookEndFrame(XR_NULL_HANDLE, &frame), XR_SUCCESS);
    ASSERT_EQ(HookDestroyInstance(instance), XR_SUCCESS);

    Fake().tag = 2;  // the next instance's chain has other functions
    instance = CreateInstance();
    Fake().endFrameResult = XR_SESSION_LOSS_PENDING;
    EXPECT_EQ(HookEndFrame(XR_NULL_HANDLE, &frame), XR_SESSION_LOSS_PENDING);

    EXPECT_EQ(Fake().endFrameCalls, (std::vector<int>{1, 2}));
}

TEST_F(DispatchTest, PoseHooksCallNothingOnceTheInstanceIsDestroyed) {
    const XrFrameEndInfo frame{XR_TYPE_FRAME_END_INFO};
    const XrInstance instance = CreateInstance();
    ASSERT_EQ(HookEndFrame(XR_NULL_HANDLE, &frame), XR_SUCCESS);
    ASSERT_EQ(HookDestroyInstance(instance), XR_SUCCESS);

    // The destroyed instance's runtime may be unmapped by now.
    testing::internal::CaptureStdout();
    for (int frameNumber = 0; frameNumber < 3; ++frameNumber) {
        EXPECT_EQ(HookEndFrame(XR_NULL_HANDLE, &frame), XR_ERROR_RUNTIME_FAILURE);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no layer object is not an error";
    EXPECT_EQ(Fake().endFrameCalls, std::vector<int>{1});
}

TEST_F(DispatchTest, DestroyingTheInstanceForgetsItsViewSpaces) {
    const XrInstance instance = CreateInstance();
    const XrSpace view = reinterpret_cast<XrSpace>(0x1000);
    ViewSpaceSet& viewSpaces = MocapTracker::Instance().viewSpaces;
    ASSERT_TRUE(viewSpaces.Add(view, reinterpret_cast<XrSession>(0x5E1), {{0, 0, 0, 1}, {}}));

    ASSERT_EQ(HookDestroyInstance(instance), XR_SUCCESS);
    EXPECT_FALSE(viewSpaces.Find(view)) << "the next instance's runtime may hand out 0x1000 again";
}

TEST_F(DispatchTest, DestroyingTheInstanceForgetsItsWorldSpacesAndHeldViews) {
    const XrInstance instance = CreateInstance();
    const XrSpace stage = reinterpret_cast<XrSpace>(0x1001);
    const XrSession session = reinterpret_cast<XrSession>(0x5E1);
    MocapTracker& tracker = MocapTracker::Instance();
    ASSERT_TRUE(tracker.viewSpaces.AddWorldSpace(stage, session));
    XrPosef poses[2] = {{{0, 0, 0, 1}, {1, 2, 3}}, {{0, 0, 0, 1}, {1, 2, 3}}};
    ASSERT_EQ(tracker.runtimeViewHold.Next(session, stage, 1000, true, poses).views,
              RuntimeViewHold::Views::Runtime);

    ASSERT_EQ(HookDestroyInstance(instance), XR_SUCCESS);
    EXPECT_FALSE(tracker.viewSpaces.HoldsWorldSpace(stage));
    EXPECT_EQ(tracker.runtimeViewHold.Next(session, stage, 2000, false, poses).views,
              RuntimeViewHold::Views::Tracked)
        << "no views held from the last instance's space";
    tracker.runtimeViewHold.Clear();
}

}  // namespace
