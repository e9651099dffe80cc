#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "LayerFixture.h"
#include "layer/OptionalInstanceCreation.h"
#include "layer/PoseHooks.h"
#include "tracking/MocapTracker.h"

// The batch location functions through the layer object: handed out only with the tracked VIEW
// space option and only where the runtime has them, and then giving the head that xrLocateSpace
// gives.

namespace {

const XrInstance kInstance = reinterpret_cast<XrInstance>(0x1234);

// The layer object as instance creation builds it, with the option on or off.
void CreateLayerObject(bool trackedViewSpace) {
    LayerOptions options;
    options.trackedViewSpace = trackedViewSpace;
    std::vector<HookEntry> hooks = BuildHookList();
    for (HookEntry& optional : OptionalHookList(options)) {
        hooks.push_back(optional);
    }
    new OpenXRLayer(&FakeGetInstanceProcAddr, hooks);
    OpenXRLayer::Get().ResolveNextFunctions(kInstance);
}

enum class NextHas { Function, FailingLookup, NullFunction };

struct LookupCase {
    const char* name;
    const char* function;
    bool option;
    NextHas next;
    PFN_xrVoidFunction hook;  // handed out instead of the next element's answer; null: none
};

void PrintTo(const LookupCase& c, std::ostream* os) {
    *os << c.name;
}

const auto kCoreHook = reinterpret_cast<PFN_xrVoidFunction>(&HookLocateSpaces);
const auto kKhrHook = reinterpret_cast<PFN_xrVoidFunction>(&HookLocateSpacesKHR);
const auto kWrittenOnFailure = reinterpret_cast<PFN_xrVoidFunction>(0x0BAD);

class LocateSpacesLookup : public LayerFixture, public testing::WithParamInterface<LookupCase> {};

// What the application gets is either the hook or, unchanged, what the next element answers: a
// hook over a missing function would call through null.
TEST_P(LocateSpacesLookup, HookOnlyWithTheOptionAndTheRuntimesFunction) {
    const LookupCase& c = GetParam();
    Fake().writtenOnFailure = kWrittenOnFailure;
    if (c.next == NextHas::FailingLookup) {
        Fake().failingLookups = {c.function};
    } else if (c.next == NextHas::NullFunction) {
        Fake().nullLookups = {c.function};
    }
    CreateLayerObject(c.option);

    // What the next element answers by itself.
    PFN_xrVoidFunction nextAnswer = nullptr;
    const XrResult nextResult = FakeGetInstanceProcAddr(kInstance, c.function, &nextAnswer);
    Fake().lookups.clear();

    PFN_xrVoidFunction function = nullptr;
    const XrResult result = LayerXrGetInstanceProcAddr(kInstance, c.function, &function);
    if (c.hook != nullptr) {
        EXPECT_EQ(result, XR_SUCCESS);
        EXPECT_EQ(function, c.hook);
        EXPECT_TRUE(Fake().lookups.empty());
    } else {
        EXPECT_EQ(result, nextResult);
        EXPECT_EQ(function, nextAnswer);
        EXPECT_EQ(Fake().lookups, std::vector<std::string>{c.function});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocateSpacesLookup,
    testing::Values(
        LookupCase{"CoreWithTheOption", "xrLocateSpaces", true, NextHas::Function, kCoreHook},
        LookupCase{"CoreOnA1_0Runtime", "xrLocateSpaces", true, NextHas::FailingLookup, nullptr},
        LookupCase{"CoreGivenAsNull", "xrLocateSpaces", true, NextHas::NullFunction, nullptr},
        LookupCase{"CoreWithoutTheOption", "xrLocateSpaces", false, NextHas::Function, nullptr},
        LookupCase{"CoreWithoutTheOptionOnA1_0Runtime", "xrLocateSpaces", false,
                   NextHas::FailingLookup, nullptr},
        LookupCase{"KhrEnabled", "xrLocateSpacesKHR", true, NextHas::Function, kKhrHook},
        LookupCase{"KhrNotEnabled", "xrLocateSpacesKHR", true, NextHas::FailingLookup, nullptr},
        LookupCase{"KhrGivenAsNull", "xrLocateSpacesKHR", true, NextHas::NullFunction, nullptr},
        LookupCase{"KhrWithoutTheOption", "xrLocateSpacesKHR", false, NextHas::Function, nullptr}),
    [](const auto& param) { return std::string(param.param.name); });

// Without the option the hook list is exactly the one of old: the five, nothing of the options.
TEST_F(LayerFixture, WithoutTheOptionNoLocationFunctionIsIntercepted) {
    CreateLayerObject(false);
    for (const char* name : {"xrLocateSpace", "xrLocateSpaces", "xrLocateSpacesKHR",
                             "xrDestroySpace", "xrDestroySession"}) {
        PFN_xrVoidFunction function = nullptr;
        EXPECT_EQ(LayerXrGetInstanceProcAddr(kInstance, name, &function), XR_SUCCESS);
        PFN_xrVoidFunction nextAnswer = nullptr;
        FakeGetInstanceProcAddr(kInstance, name, &nextAnswer);
        EXPECT_EQ(function, nextAnswer) << name;
    }
}

// The process-wide tracker with a head and one VIEW space, for the hooks, which use it.
class LocateSpacesThroughHooks : public LayerFixture {
protected:
    void SetUp() override {
        LayerFixture::SetUp();
        MocapTracker& tracker = MocapTracker::Instance();
        LayerOptions options;
        options.trackedViewSpace = true;
        tracker.options.Set(options);
        tracker.ipd = 64.0f;
        tracker.initialised = true;
        tracker.StorePose({1, 1.5f, 2}, {0, 0.2588190f, 0, 0.9659258f});
        XrPosef first{{0, 0.0871557f, 0, 0.9961947f}, {-0.035f, 1.7f, 0}};
        XrPosef second{{0, 0.0871557f, 0, 0.9961947f}, {0.035f, 1.7f, 0}};
        testing::internal::CaptureStdout();
        tracker.OverrideViewPoses(first, second);  // captures the yaw correction
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(tracker.viewSpaces.Add(kView, reinterpret_cast<XrSession>(0x5E1),
                                           {{0, 0, 0, 1}, {0, 0, -2}}));
        ASSERT_TRUE(tracker.viewSpaces.AddWorldSpace(kLocal, reinterpret_cast<XrSession>(0x5E1)));
        CreateLayerObject(true);
    }
    void TearDown() override {
        MocapTracker& tracker = MocapTracker::Instance();
        tracker.viewSpaces.Clear();
        tracker.options.Set(LayerOptions{});
        tracker.initialised = false;
        LayerFixture::TearDown();
    }

    template <typename Pfn>
    static Pfn Lookup(const char* name) {
        PFN_xrVoidFunction function = nullptr;
        EXPECT_EQ(LayerXrGetInstanceProcAddr(kInstance, name, &function), XR_SUCCESS) << name;
        return reinterpret_cast<Pfn>(function);
    }

    struct Located {
        XrSpaceLocationFlags flags;
        XrPosef pose;
        XrSpaceVelocityFlags velocityFlags;
    };

    static Located LocateOne(XrSpace space, XrSpace base) {
        XrSpaceVelocity velocity{XR_TYPE_SPACE_VELOCITY};
        XrSpaceLocation location{XR_TYPE_SPACE_LOCATION, &velocity};
        EXPECT_EQ(Lookup<PFN_xrLocateSpace>("xrLocateSpace")(space, base, 1, &location),
                  XR_SUCCESS);
        return {location.locationFlags, location.pose, velocity.velocityFlags};
    }

    static Located LocateInBatch(const char* name, XrSpace space, XrSpace base) {
        const XrSpace spaces[] = {kLocal, space};
        XrSpaceLocationData data[2] = {};
        XrSpaceVelocityData velocityData[2] = {};
        XrSpaceVelocities velocities{XR_TYPE_SPACE_VELOCITIES, nullptr, 2, velocityData};
        XrSpaceLocations locations{XR_TYPE_SPACE_LOCATIONS, &velocities, 2, data};
        const XrSpacesLocateInfo info{XR_TYPE_SPACES_LOCATE_INFO, nullptr, base, 1, 2, spaces};
        EXPECT_EQ(Lookup<PFN_xrLocateSpaces>(name)(XR_NULL_HANDLE, &info, &locations), XR_SUCCESS);
        return {data[1].locationFlags, data[1].pose, velocityData[1].velocityFlags};
    }

    static inline const XrSpace kView = reinterpret_cast<XrSpace>(0x100);
    static inline const XrSpace kLocal = reinterpret_cast<XrSpace>(0x200);
};

TEST_F(LocateSpacesThroughHooks, AllThreeFunctionsGiveTheSameTrackedHead) {
    const struct {
        XrSpace space;
        XrSpace base;
    } cases[] = {{kView, kLocal}, {kLocal, kView}, {kView, kView}, {kLocal, kLocal}};
    for (const auto& c : cases) {
        const Located alone = LocateOne(c.space, c.base);
        for (const char* name : {"xrLocateSpaces", "xrLocateSpacesKHR"}) {
            SCOPED_TRACE(std::string(name) + (c.space == kView ? " VIEW in " : " LOCAL in ") +
                         (c.base == kView ? "VIEW" : "LOCAL"));
            const Located batch = LocateInBatch(name, c.space, c.base);
            EXPECT_EQ(batch.flags, alone.flags);
            EXPECT_EQ(std::memcmp(&batch.pose, &alone.pose, sizeof(XrPosef)), 0);
            EXPECT_EQ(batch.velocityFlags, alone.velocityFlags);
        }
        const bool runtimePose = alone.pose.position.x == 9.0f && alone.pose.position.y == 9.0f;
        EXPECT_EQ(runtimePose, c.space == kLocal && c.base == kLocal);
    }
    // Each hook calls the next element's function of its own name.
    const std::vector<std::string> each = {"xrLocateSpace", "xrLocateSpaces", "xrLocateSpacesKHR"};
    std::vector<std::string> expected;
    for (size_t i = 0; i < std::size(cases); ++i) {
        expected.insert(expected.end(), each.begin(), each.end());
    }
    EXPECT_EQ(Fake().locateCalls, expected);
}

}  // namespace
